#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::ui {
class Ui;
}

namespace tramela::workspace {

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
// already encoded; the writer adds nothing but the line end. The lines go to a temporary file
// beside the target, which takes the target's name only when every line was written: a file
// cut short by a full disk never stands where a complete one is expected, and a file it would
// have replaced stays as it was. A target that is no regular file (a device) is written in
// place; a link is followed.
class TextFileWriter {
public:
    TextFileWriter() = default;
    // A file neither closed nor abandoned is abandoned.
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Starts the file; false when it cannot be created in the target's folder.
    bool open(const std::filesystem::path& path);
    void writeLine(std::string_view line);
    // Bytes as they are, without a line end: a binary file (a PDF) written the same safe way.
    void write(std::string_view bytes);
    // Flushes and closes, then puts the file in the target's place; false (and no file, the
    // target untouched) when any write, the close or the rename failed.
    bool close();
    // Drops what was written; the target stays as it was.
    void abandon();

    bool isOpen() const { return m_file != nullptr; }

private:
    std::FILE* m_file = nullptr;
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    bool m_failed = false;
};

// Creates the file for writing, or shows "Impossibile creare\n\n" + path with the exclamation
// icon and gives false.
bool openOrReport(TextFileWriter& writer, const std::filesystem::path& path, ui::Ui& ui);
// Completes the file, or shows "Errore durante la scrittura del file\n\n" + path with the
// exclamation icon and gives false (the file then is not there).
bool closeOrReport(TextFileWriter& writer, const std::filesystem::path& path, ui::Ui& ui);

// The folder of a name chosen in a save dialog, where a command writes its files (the name itself
// is never created); nothing, with "Impossibile creare\n\n" + folder shown with the exclamation
// icon, when it is not an existing folder.
std::optional<std::filesystem::path> folderOfChosen(const std::filesystem::path& chosen,
                                                    ui::Ui& ui);

// The integer part of a number shown as text ("000000000012345,6700" -> 12345, "-3,5" -> -3):
// the leading digits, as the writers take lengths, distances and protocol numbers.
long leadingInteger(std::string_view text);

} // namespace tramela::workspace
