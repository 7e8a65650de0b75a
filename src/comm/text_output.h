#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tramela::ui {
class Ui;
}

namespace tramela::comm {

// Turns UTF-8 text (as the database holds it) into ISO-8859-1, one byte per character, so that
// fixed widths hold. A character Latin-1 cannot hold is transliterated ("ł" -> "l", "€" -> "EUR",
// "’" -> "'") or replaced by "?"; the encoder counts the texts it had to change.
class Latin1Encoder {
public:
    std::string encode(std::string_view utf8);

    // Texts changed since construction.
    long changed() const { return m_changed; }

private:
    long m_changed = 0;
};

// ISO-8859-1 bytes back into UTF-8 (every byte is a character).
std::string latin1ToUtf8(std::string_view latin1);

// A text file written line by line with CR LF ends, through a large buffer. The lines are bytes
// already encoded; the writer adds nothing but the line end.
class TextFileWriter {
public:
    TextFileWriter() = default;
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Creates (or replaces) the file; false when it cannot be created.
    bool open(const std::filesystem::path& path);
    void writeLine(std::string_view line);
    // Flushes and closes; false when any write failed (a full disk, say).
    bool close();

    bool isOpen() const { return m_file != nullptr; }

private:
    std::FILE* m_file = nullptr;
    bool m_failed = false;
};

// Creates the file for writing, or shows "Impossibile creare\n\n" + path with the exclamation
// icon and gives false.
bool openOrReport(TextFileWriter& writer, const std::filesystem::path& path, ui::Ui& ui);

// The integer part of a number shown as text ("000000000012345,6700" -> 12345, "-3,5" -> -3):
// the leading digits, as the writers take lengths, distances and protocol numbers.
long leadingInteger(std::string_view text);

} // namespace tramela::comm
