#include "workspace/settings.h"

#include "store/value_text.h"
#include "workspace/private_files.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fmt/format.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <toml++/toml.h>
#include <unistd.h>

namespace tramela::workspace {

namespace fs = std::filesystem;

struct Settings::Document {
    toml::table table;
};

namespace {

constexpr std::string_view kMainSection = "tramela";
constexpr std::string_view kDatabaseKey = "Database";

// Basic strings and hexadecimal, octal and binary integers kept as the user wrote them; no
// literal strings, so a value reads the same in every section.
constexpr toml::format_flags kFormat =
    toml::format_flags::allow_unicode_strings | toml::format_flags::allow_binary_integers |
    toml::format_flags::allow_octal_integers | toml::format_flags::allow_hexadecimal_integers;

std::string systemText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// toml++ writes a byte that is not UTF-8 as the character of the same number: the path
// "/dati/\xE8.sqlite" would come back as "/dati/è.sqlite", a different file. Such texts are
// refused before they reach the document.
bool isUtf8(std::string_view text) {
    return store::utf8Length(text).has_value();
}

bool isUtf8Path(const SectionPath& section) {
    for (const std::string& part : section.parts()) {
        if (!isUtf8(part)) {
            return false;
        }
    }
    return true;
}

template <typename Table> Table* findSection(Table& root, const SectionPath& section) {
    Table* table = &root;
    for (const std::string& part : section.parts()) {
        auto* node = table->get(part);
        table = node != nullptr ? node->as_table() : nullptr;
        if (table == nullptr) {
            return nullptr;
        }
    }
    return table;
}

// The section, created with its parents when missing; null when a value that is not a table
// stands in the way.
toml::table* makeSection(toml::table& root, const SectionPath& section) {
    toml::table* table = &root;
    for (const std::string& part : section.parts()) {
        toml::node* node = table->get(part);
        if (node == nullptr) {
            node = &table->insert(part, toml::table{}).first->second;
        }
        table = node->as_table();
        if (table == nullptr) {
            return nullptr;
        }
    }
    return table;
}

std::string serialize(const toml::table& table) {
    std::ostringstream out;
    out << toml::toml_formatter{table, kFormat} << '\n';
    return out.str();
}

// A file that its owner made read-only stays as it is. Renaming a new file over it would
// succeed, since that asks only for a writable folder; and the superuser may write anything, so
// for every user the file's own write bits decide too.
bool isReadOnly(const fs::path& file) {
    struct stat status {};

    if (::stat(file.c_str(), &status) != 0) {
        return false; // missing: it is created
    }
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return true;
    }
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0 &&
           (errno == EACCES || errno == EROFS);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');

    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

} // namespace

fs::path Settings::defaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != '\0' && fs::path(config).is_absolute()) {
        return fs::path(config) / "tramela" / "settings.toml";
    }
    return fs::path(homeFolder()) / ".config" / "tramela" / "settings.toml";
}

fs::path applicationDirectory(const Settings& settings) {
    if (std::optional<std::string> folder = settings.text("tramela", "Directory");
        folder && !folder->empty()) {
        return fs::path(*folder);
    }
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && *data != '\0' && fs::path(data).is_absolute()) {
        return fs::path(data) / "tramela";
    }
    const std::string home = homeFolder();
    if (home.empty()) {
        return {};
    }
    return fs::path(home) / ".local" / "share" / "tramela";
}

Settings::Settings(fs::path path)
    : m_path(std::move(path))
    , m_document(std::make_unique<Document>()) {}

Settings::~Settings() = default;
Settings::Settings(Settings&&) noexcept = default;
Settings& Settings::operator=(Settings&&) noexcept = default;

Settings::LoadResult Settings::load() {
    m_valid = false;
    m_loadError.clear();
    m_document->table.clear();
    const std::string shown = m_path.string();
    auto invalid = [this](std::string reason) {
        m_document->table.clear();
        m_loadError = std::move(reason);
        return LoadResult::Invalid;
    };

    // O_NONBLOCK: a named pipe in the file's place must not hang the start-up.
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT) {
            return invalid(fmt::format(
                "Impossibile leggere il file delle impostazioni {}: {}", shown, systemText(error)));
        }
        m_document->table.insert(kMainSection, toml::table{{kDatabaseKey, ""}});
        const std::string bytes = serialize(m_document->table);
        int created = -1;
        if (makePrivateFolders(m_path.parent_path())) {
            created = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        }
        if (created < 0) {
            const int createError = errno;
            return invalid(fmt::format("Impossibile creare il file delle impostazioni {}: {}",
                                       shown,
                                       systemText(createError)));
        }
        bool done =
            ::fchmod(created, 0600) == 0 && writeAll(created, bytes) && ::fsync(created) == 0;
        const int writeError = errno;
        done = ::close(created) == 0 && done;
        if (!done) {
            ::unlink(m_path.c_str());
            return invalid(fmt::format("Impossibile creare il file delle impostazioni {}: {}",
                                       shown,
                                       systemText(writeError)));
        }
        syncFolder(m_path.parent_path());
        m_valid = true;
        return LoadResult::Created;
    }

    std::string bytes;

    struct stat status {};

    bool readable = ::fstat(fd, &status) == 0;
    int error = errno;
    if (readable && !S_ISREG(status.st_mode)) {
        ::close(fd);
        return invalid(fmt::format("Il file delle impostazioni {} non è un file regolare.", shown));
    }
    char buffer[8192];
    while (readable) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            readable = false;
        }
    }
    ::close(fd);
    if (!readable) {
        return invalid(fmt::format(
            "Impossibile leggere il file delle impostazioni {}: {}", shown, systemText(error)));
    }

    try {
        m_document->table = toml::parse(bytes, shown);
    } catch (const toml::parse_error& failure) {
        return invalid(fmt::format("Il file delle impostazioni {} non è valido (riga {}, colonna "
                                   "{}): {}",
                                   shown,
                                   failure.source().begin.line,
                                   failure.source().begin.column,
                                   failure.description()));
    }
    if (findSection(m_document->table, SectionPath(kMainSection)) == nullptr) {
        return invalid(
            fmt::format("Il file delle impostazioni {} non ha la sezione [tramela].", shown));
    }
    m_valid = true;
    return LoadResult::Loaded;
}

std::optional<std::string> Settings::text(const SectionPath& section, std::string_view key) const {
    const toml::table* table = findSection(m_document->table, section);
    const toml::node* node = table != nullptr ? table->get(key) : nullptr;
    if (node == nullptr || !node->is_string()) {
        return std::nullopt;
    }
    return node->as_string()->get();
}

std::optional<long long> Settings::integer(const SectionPath& section, std::string_view key) const {
    const toml::table* table = findSection(m_document->table, section);
    const toml::node* node = table != nullptr ? table->get(key) : nullptr;
    if (node == nullptr || !node->is_integer()) {
        return std::nullopt;
    }
    return node->as_integer()->get();
}

std::optional<bool> Settings::boolean(const SectionPath& section, std::string_view key) const {
    const toml::table* table = findSection(m_document->table, section);
    const toml::node* node = table != nullptr ? table->get(key) : nullptr;
    if (node == nullptr || !node->is_boolean()) {
        return std::nullopt;
    }
    return node->as_boolean()->get();
}

namespace {

// A section standing under the key would be lost with everything in it: refused like a value
// standing where a section should be.
template <typename Value>
bool setValue(toml::table& root, const SectionPath& section, std::string_view key, Value&& value) {
    if (!isUtf8Path(section) || !isUtf8(key)) {
        return false;
    }
    const toml::table* existing = findSection(root, section);
    if (existing != nullptr) {
        const toml::node* node = existing->get(key);
        if (node != nullptr && node->is_table()) {
            return false;
        }
    }
    toml::table* table = makeSection(root, section);
    if (table == nullptr) {
        return false;
    }
    table->insert_or_assign(key, std::forward<Value>(value));
    return true;
}

} // namespace

bool Settings::setText(const SectionPath& section, std::string_view key, std::string_view value) {
    if (!isUtf8(value)) {
        return false;
    }
    return setValue(m_document->table, section, key, std::string(value));
}

bool Settings::setInteger(const SectionPath& section, std::string_view key, long long value) {
    return setValue(m_document->table, section, key, static_cast<int64_t>(value));
}

bool Settings::setBoolean(const SectionPath& section, std::string_view key, bool value) {
    return setValue(m_document->table, section, key, value);
}

std::vector<std::string> Settings::subsections(const SectionPath& section) const {
    std::vector<std::string> names;
    if (const toml::table* table = findSection(m_document->table, section)) {
        for (const auto& [key, node] : *table) {
            if (node.is_table()) {
                names.emplace_back(key.str());
            }
        }
    }
    return names;
}

void Settings::removeSection(const SectionPath& section) {
    const std::vector<std::string>& parts = section.parts();
    if (parts.empty()) {
        return;
    }
    const SectionPath parent(std::vector<std::string>(parts.begin(), parts.end() - 1));
    toml::table* table = findSection(m_document->table, parent);
    if (table != nullptr) {
        if (const toml::node* node = table->get(parts.back());
            node != nullptr && node->is_table()) {
            table->erase(parts.back());
        }
    }
}

std::string Settings::databasePath() const {
    return text(kMainSection, kDatabaseKey).value_or(std::string());
}

bool Settings::setDatabasePath(std::string_view path) {
    return setText(kMainSection, kDatabaseKey, path);
}

bool Settings::save() {
    m_saveError.clear();
    const std::string shown = m_path.string();
    auto cannotWrite = [&](const std::string& reason) {
        m_saveError =
            fmt::format("Impossibile scrivere il file delle impostazioni {}: {}", shown, reason);
        return false;
    };
    if (!m_valid) {
        m_saveError = fmt::format(
            "Il file delle impostazioni {} non è stato letto: non viene sovrascritto.", shown);
        return false;
    }
    const std::string bytes = serialize(m_document->table);
    // What is written must load again: the next start would otherwise refuse the file.
    try {
        const toml::table check = toml::parse(bytes);
        if (!check[kMainSection].is_table()) {
            return cannotWrite("manca la sezione [tramela].");
        }
    } catch (const toml::parse_error& failure) {
        return cannotWrite(std::string(failure.description()));
    }

    // A settings file that is a link (kept with the user's other configuration files) is
    // replaced where it points, and the link stays.
    std::error_code error;
    fs::path target = m_path;
    if (fs::is_symlink(m_path, error)) {
        target = fs::canonical(m_path, error);
        if (error) {
            return cannotWrite(error.message());
        }
    }
    if (isReadOnly(target)) {
        m_saveError = fmt::format(
            "Il file delle impostazioni {} è di sola lettura: le modifiche non sono state "
            "registrate.",
            shown);
        return false;
    }
    const fs::path folder = target.parent_path();
    const std::optional<std::string> temporary = writePrivateTemporary(target, bytes);
    if (!temporary) {
        return cannotWrite(systemText(errno));
    }
    if (::rename(temporary->c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary->c_str());
        return cannotWrite(systemText(renameError));
    }
    syncFolder(folder);
    return true;
}

} // namespace tramela::workspace
