#pragma once

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tramela::workspace {

// The names leading to a section of the settings: {"tramela"}, {"sirventa", "Server di prova"}.
// An empty path names the top of the document.
class SectionPath {
public:
    SectionPath() = default;

    SectionPath(const char* section)
        : m_parts{std::string(section)} {}

    SectionPath(std::string_view section)
        : m_parts{std::string(section)} {}

    SectionPath(const std::string& section)
        : m_parts{section} {}

    SectionPath(std::initializer_list<std::string_view> parts)
        : m_parts(parts.begin(), parts.end()) {}

    SectionPath(std::vector<std::string> parts)
        : m_parts(std::move(parts)) {}

    const std::vector<std::string>& parts() const { return m_parts; }

private:
    std::vector<std::string> m_parts;
};

// The user's settings file (TOML), which stands where the original system used the registry:
// [tramela] (Database, Directory), [sirventa."<name>"] per server configuration, [securesend].
// Texts are UTF-8. Movable, not copyable.
class Settings {
public:
    enum class LoadResult { Loaded, Created, Invalid };

    // $XDG_CONFIG_HOME/tramela/settings.toml; $HOME/.config/tramela/settings.toml when
    // XDG_CONFIG_HOME is unset, empty or not an absolute path.
    static std::filesystem::path defaultPath();

    explicit Settings(std::filesystem::path path = defaultPath());
    ~Settings();
    Settings(Settings&&) noexcept;
    Settings& operator=(Settings&&) noexcept;
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Reads the file. A missing file is created (missing folders too, mode 0700) holding
    // [tramela] with Database = "". A file that cannot be read or created, is not a regular
    // file, is not valid TOML or has no [tramela] table gives Invalid and an empty document.
    LoadResult load();

    // The last load gave Loaded or Created.
    bool valid() const { return m_valid; }

    // Why the last load gave Invalid, in Italian for the user; empty otherwise.
    const std::string& loadError() const { return m_loadError; }

    // A value only when it has that type: a number is no text and a text no number.
    std::optional<std::string> text(const SectionPath& section, std::string_view key) const;
    std::optional<long long> integer(const SectionPath& section, std::string_view key) const;
    std::optional<bool> boolean(const SectionPath& section, std::string_view key) const;

    // Set a value, replacing one of any type, creating the sections as needed. False, and
    // nothing changed, when a name or text is not valid UTF-8 or a value that is not a table
    // stands where a section should be.
    bool setText(const SectionPath& section, std::string_view key, std::string_view value);
    bool setInteger(const SectionPath& section, std::string_view key, long long value);
    bool setBoolean(const SectionPath& section, std::string_view key, bool value);

    // The names of the tables directly under a section, in key order: subsections("sirventa").
    std::vector<std::string> subsections(const SectionPath& section) const;
    // Removes the section with everything in it; nothing happens when it does not exist.
    void removeSection(const SectionPath& section);

    // [tramela] Database: the bound database; empty when missing or not a text.
    std::string databasePath() const;
    bool setDatabasePath(std::string_view path);

    // Writes the whole document back, replacing the file atomically, mode 0600 (it holds
    // credentials). The comments of a hand-edited file stay beside the sections and values they
    // stood beside (those of removed sections go with them; those inside a multi-line array are
    // lost). False, and nothing written, when no load succeeded (a broken file of the user's is
    // never overwritten), when the file is read-only, or on any failure of the file system.
    bool save();

    // Why the last save gave false, in Italian for the user; empty after a save that succeeded.
    const std::string& saveError() const { return m_saveError; }

private:
    struct Document;

    std::filesystem::path m_path;
    std::unique_ptr<Document> m_document;
    bool m_valid = false;
    std::string m_loadError;
    std::string m_saveError;
};

// The application folder, where imported certificates are kept: [tramela] Directory of the
// settings; when missing or empty, $XDG_DATA_HOME/tramela, or ~/.local/share/tramela when
// XDG_DATA_HOME is unset, empty or not an absolute path. Empty when not even the home folder is
// known.
std::filesystem::path applicationDirectory(const Settings& settings);

} // namespace tramela::workspace
