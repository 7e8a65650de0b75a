#include "workspace/settings.h"

#include "store/value_text.h"
#include "workspace/private_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fmt/format.h>
#include <map>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <toml++/toml.h>
#include <unistd.h>
#include <variant>

namespace tramela::workspace {

namespace fs = std::filesystem;

namespace {

// A node of the document by the keys (and, in arrays of tables, the indexes) that lead to it.
using NodePath = std::vector<std::variant<std::string, std::size_t>>;

// The comments of a hand-edited file, each tied to the node it stood beside, so that it comes
// back beside that node however the document is written out again. Each block holds whole
// comment lines (with the blank lines between them); a trailing comment is the end of a node's
// last line, from the blanks before its '#'.
struct Comments {
    std::vector<std::string> head;                       // before every node, set apart
    std::map<NodePath, std::vector<std::string>> before; // just above a node
    std::map<NodePath, std::vector<std::string>> after;  // below a node, set apart from the next
    std::map<NodePath, std::string> trailing;            // at the end of a node's last line
    std::vector<std::string> tail;                       // after the last node

    bool empty() const {
        return head.empty() && before.empty() && after.empty() && trailing.empty() && tail.empty();
    }
};

} // namespace

struct Settings::Document {
    toml::table table;
    Comments comments;
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

// A settings file holds a few short lines and sections a level or two deep; a file far beyond
// that is refused before it costs. The parser descends once for each part of a dotted key, so a
// header of a hundred thousand parts would exhaust the stack, and keeping the comments walks the
// path of every node, which costs the square of the depth.
constexpr std::size_t kMaxLineBytes = 8192;
constexpr std::size_t kMaxDepth = 32;

// The number of the first line longer than the bound, if any.
std::optional<std::size_t> overlongLine(std::string_view text) {
    for (std::size_t line = 1; !text.empty(); ++line) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (end > kMaxLineBytes) {
            return line;
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return std::nullopt;
}

// The line of the first node nested deeper than the bound, if any; the root is at depth 0.
std::optional<std::size_t> overdeepNode(const toml::node& node, std::size_t depth) {
    if (depth > kMaxDepth) {
        return node.source().begin.line;
    }
    std::optional<std::size_t> found;
    if (const toml::table* table = node.as_table()) {
        for (auto it = table->begin(); it != table->end() && !found; ++it) {
            found = overdeepNode(it->second, depth + 1);
        }
    } else if (const toml::array* array = node.as_array()) {
        for (auto it = array->begin(); it != array->end() && !found; ++it) {
            found = overdeepNode(*it, depth + 1);
        }
    }
    return found;
}

std::string serialize(const toml::table& table) {
    std::ostringstream out;
    out << toml::toml_formatter{table, kFormat} << '\n';
    return out.str();
}

// Where a node stands in a text: its first line (a value's key line, a table's header), its last
// line and the column (in characters, 1-based, just past it) where it ends on that line. A table
// ends with its header; an array of tables has no place of its own, its tables have.
struct NodePlace {
    NodePath path;
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t endColumn = 0;
};

void collectPlaces(const toml::table& table, NodePath& path, std::vector<NodePlace>& places);

void addPlace(const toml::node& node, NodePath& path, std::vector<NodePlace>& places) {
    const toml::source_region& source = node.source();
    if (const toml::array* array = node.as_array(); array != nullptr && !array->empty() &&
                                                    array->is_array_of_tables() &&
                                                    !array->front().as_table()->is_inline()) {
        for (std::size_t i = 0; i < array->size(); ++i) {
            path.emplace_back(i);
            addPlace(*array->get(i), path, places);
            path.pop_back();
        }
        return;
    }
    if (const toml::table* table = node.as_table(); table != nullptr && !table->is_inline()) {
        places.push_back({path, source.begin.line, source.begin.line, source.end.column});
        collectPlaces(*table, path, places);
        return;
    }
    places.push_back({path, source.begin.line, source.end.line, source.end.column});
}

void collectPlaces(const toml::table& table, NodePath& path, std::vector<NodePlace>& places) {
    for (const auto& [key, node] : table) {
        path.emplace_back(std::string(key.str()));
        addPlace(node, path, places);
        path.pop_back();
    }
}

std::vector<NodePlace> placesOf(const toml::table& table) {
    std::vector<NodePlace> places;
    NodePath path;
    collectPlaces(table, path, places);
    return places;
}

// Several nodes may begin or end on one line: "[sirventa.prova]" begins both tables, "a.b = 1"
// both a and b. The line belongs to the deepest, which the writer puts on a line of its own.
bool deeper(const NodePlace& candidate, const NodePlace* current) {
    return current == nullptr || candidate.path.size() > current->path.size();
}

// The lines of a text without their ends (LF or CR LF); a final line end opens no line.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// The part of a line from a character position (0-based; UTF-8 continuation bytes do not count).
std::string_view fromCharacter(std::string_view line, std::size_t character) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) {
            if (seen == character) {
                return line.substr(i);
            }
            ++seen;
        }
    }
    return {};
}

std::string_view withoutLeadingBlanks(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : line.substr(start);
}

// Ties every comment of a parsed text to a node, a paragraph of comment lines at a time. A
// paragraph directly above a node belongs to it, one directly below a node stays below it (a
// commented-out value at the end of a section stays there); the comment at the end of a line
// stays with the value or header it ends. Lines inside a multi-line value are that value's,
// never comments.
Comments findComments(std::string_view text, const toml::table& table) {
    const std::vector<NodePlace> places = placesOf(table);
    const std::vector<std::string_view> lines = splitLines(text);
    std::vector<bool> inside(lines.size() + 1, false);
    std::map<std::size_t, const NodePlace*> beginning;
    std::map<std::size_t, const NodePlace*> ending;
    for (const NodePlace& place : places) {
        for (std::size_t line = place.first + 1; line <= place.last && line < inside.size();
             ++line) {
            inside[line] = true;
        }
        if (deeper(place, beginning[place.first])) {
            beginning[place.first] = &place;
        }
        const NodePlace*& end = ending[place.last];
        if (end == nullptr || place.endColumn > end->endColumn ||
            (place.endColumn == end->endColumn && deeper(place, end))) {
            end = &place;
        }
    }

    Comments comments;
    for (const auto& [line, place] : ending) {
        if (line == 0 || line > lines.size() || place->endColumn == 0) {
            continue;
        }
        const std::string_view rest = fromCharacter(lines[line - 1], place->endColumn - 1);
        if (withoutLeadingBlanks(rest).starts_with('#')) {
            comments.trailing[place->path] = std::string(rest);
        }
    }

    enum class Kind { Blank, Comment, Other };
    auto kind = [&](std::size_t line) {
        const std::string_view content = withoutLeadingBlanks(lines[line - 1]);
        if (inside[line] || (!content.empty() && !content.starts_with('#'))) {
            return Kind::Other;
        }
        return content.empty() ? Kind::Blank : Kind::Comment;
    };
    // Comment lines set apart by blank lines from the nodes around them belong below the node
    // before them, or at the head of the file when there is none, or at its end when no node
    // follows.
    auto apart = [&](std::size_t first, std::size_t last) -> std::vector<std::string>& {
        const NodePlace* before = nullptr;
        bool nodeFollows = false;
        for (const NodePlace& place : places) {
            nodeFollows = nodeFollows || place.first > last;
            if (place.last < first && (before == nullptr || place.last > before->last ||
                                       (place.last == before->last && deeper(place, before)))) {
                before = &place;
            }
        }
        return !nodeFollows        ? comments.tail
               : before != nullptr ? comments.after[before->path]
                                   : comments.head;
    };
    std::size_t line = 1;
    while (line <= lines.size()) {
        if (kind(line) == Kind::Other) {
            ++line;
            continue;
        }
        // A run of comment and blank lines, taken paragraph by paragraph: the first may stand
        // directly below a node, the last directly above one. Paragraphs that go to the same
        // place go together, with the blank lines between them.
        std::vector<std::pair<std::size_t, std::size_t>> paragraphs;
        for (; line <= lines.size() && kind(line) != Kind::Other; ++line) {
            if (kind(line) != Kind::Comment) {
                continue;
            }
            if (!paragraphs.empty() && paragraphs.back().second + 1 == line) {
                paragraphs.back().second = line;
            } else {
                paragraphs.emplace_back(line, line);
            }
        }
        std::vector<std::string>* open = nullptr;
        std::size_t openFirst = 0;
        std::size_t openLast = 0;
        auto flush = [&] {
            if (open != nullptr) {
                open->insert(open->end(),
                             lines.begin() + static_cast<std::ptrdiff_t>(openFirst - 1),
                             lines.begin() + static_cast<std::ptrdiff_t>(openLast));
            }
        };
        for (std::size_t i = 0; i < paragraphs.size(); ++i) {
            const auto [first, last] = paragraphs[i];
            std::vector<std::string>* target = nullptr;
            const auto next = beginning.find(last + 1);
            const auto previous = ending.find(first - 1);
            if (i + 1 == paragraphs.size() && line == last + 1 && next != beginning.end()) {
                target = &comments.before[next->second->path];
            } else if (i == 0 && previous != ending.end()) {
                target = &comments.after[previous->second->path];
            } else {
                target = &apart(first, last);
            }
            if (target != open) {
                flush();
                open = target;
                openFirst = first;
            }
            openLast = last;
        }
        flush();
    }
    return comments;
}

// The text as the formatter wrote it, with the comments put back beside their nodes; `written`
// is that text parsed. Comments whose node is gone are left out. Should the comments change
// what the text means, the text goes without them.
std::string
withComments(const std::string& plain, const toml::table& written, const Comments& comments) {
    if (comments.empty()) {
        return plain;
    }
    const std::vector<NodePlace> places = placesOf(written);
    std::map<NodePath, const NodePlace*> placeOf;
    for (const NodePlace& place : places) {
        placeOf[place.path] = &place;
    }
    const std::vector<std::string_view> lines = splitLines(plain);
    std::vector<std::vector<std::string>> above(lines.size() + 1);
    std::vector<std::vector<std::string>> below(lines.size() + 1);
    std::vector<std::string> ends(lines.size() + 1);
    auto attach = [&](const std::map<NodePath, std::vector<std::string>>& blocks,
                      std::vector<std::vector<std::string>>& where,
                      bool atFirst) {
        for (const auto& [path, block] : blocks) {
            if (const auto found = placeOf.find(path); found != placeOf.end()) {
                const std::size_t line = atFirst ? found->second->first : found->second->last;
                if (line >= 1 && line <= lines.size()) {
                    where[line].insert(where[line].end(), block.begin(), block.end());
                }
            }
        }
    };
    attach(comments.before, above, true);
    attach(comments.after, below, false);
    for (const auto& [path, text] : comments.trailing) {
        if (const auto found = placeOf.find(path); found != placeOf.end()) {
            const std::size_t line = found->second->last;
            if (line >= 1 && line <= lines.size()) {
                ends[line] += text;
            }
        }
    }

    std::string text;
    auto addLines = [&text](const std::vector<std::string>& block) {
        for (const std::string& line : block) {
            text.append(line).push_back('\n');
        }
    };
    addLines(comments.head);
    if (!comments.head.empty()) {
        text.push_back('\n');
    }
    for (std::size_t line = 1; line <= lines.size(); ++line) {
        addLines(above[line]);
        text.append(lines[line - 1]).append(ends[line]).push_back('\n');
        addLines(below[line]);
    }
    if (!comments.tail.empty()) {
        text.push_back('\n');
        addLines(comments.tail);
    }

    try {
        if (toml::parse(text) == written) {
            return text;
        }
    } catch (const toml::parse_error&) {
    }
    return plain;
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
    m_document->comments = Comments();
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

    if (const std::optional<std::size_t> line = overlongLine(bytes)) {
        return invalid(fmt::format("Il file delle impostazioni {} non è valido (riga {}): la riga "
                                   "è più lunga di {} byte.",
                                   shown,
                                   *line,
                                   kMaxLineBytes));
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
    if (const std::optional<std::size_t> line = overdeepNode(m_document->table, 0)) {
        return invalid(fmt::format("Il file delle impostazioni {} non è valido (riga {}): le "
                                   "sezioni vi sono annidate per più di {} livelli.",
                                   shown,
                                   *line,
                                   kMaxDepth));
    }
    if (findSection(m_document->table, SectionPath(kMainSection)) == nullptr) {
        return invalid(
            fmt::format("Il file delle impostazioni {} non ha la sezione [tramela].", shown));
    }
    m_document->comments = findComments(bytes, m_document->table);
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
            // The comments of the section go with it.
            auto within = [&parts](const NodePath& path) {
                if (path.size() < parts.size()) {
                    return false;
                }
                for (std::size_t i = 0; i < parts.size(); ++i) {
                    const auto* key = std::get_if<std::string>(&path[i]);
                    if (key == nullptr || *key != parts[i]) {
                        return false;
                    }
                }
                return true;
            };
            Comments& comments = m_document->comments;
            std::erase_if(comments.before, [&](const auto& entry) { return within(entry.first); });
            std::erase_if(comments.after, [&](const auto& entry) { return within(entry.first); });
            std::erase_if(comments.trailing,
                          [&](const auto& entry) { return within(entry.first); });
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
    const std::string plain = serialize(m_document->table);
    // What is written must load again: the next start would otherwise refuse the file.
    toml::table written;
    try {
        written = toml::parse(plain);
    } catch (const toml::parse_error& failure) {
        return cannotWrite(std::string(failure.description()));
    }
    if (!written[kMainSection].is_table()) {
        return cannotWrite("manca la sezione [tramela].");
    }
    const std::string bytes = withComments(plain, written, m_document->comments);

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
