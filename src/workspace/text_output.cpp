#include "workspace/text_output.h"

#include "ui/ui.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tramela::workspace {

namespace {

// Latin Extended-A (U+0100 - U+017F) by its base letter, two code points per letter pair for the
// most part: "Āā" -> "Aa", "Čč" -> "Cc", "Łł" -> "Ll", "Œœ" -> "OEoe".
constexpr std::string_view kExtendedA[] = {
    "A", "a", "A",  "a",  "A", "a", "C", "c", "C", "c", "C", "c", "C", "c", "D", "d", // 0100
    "D", "d", "E",  "e",  "E", "e", "E", "e", "E", "e", "E", "e", "G", "g", "G", "g", // 0110
    "G", "g", "G",  "g",  "H", "h", "H", "h", "I", "i", "I", "i", "I", "i", "I", "i", // 0120
    "I", "i", "IJ", "ij", "J", "j", "K", "k", "k", "L", "l", "L", "l", "L", "l", "L", // 0130
    "l", "L", "l",  "N",  "n", "N", "n", "N", "n", "n", "N", "n", "O", "o", "O", "o", // 0140
    "O", "o", "OE", "oe", "R", "r", "R", "r", "R", "r", "S", "s", "S", "s", "S", "s", // 0150
    "S", "s", "T",  "t",  "T", "t", "T", "t", "U", "u", "U", "u", "U", "u", "U", "u", // 0160
    "U", "u", "U",  "u",  "W", "w", "Y", "y", "Y", "Z", "z", "Z", "z", "Z", "z", "s", // 0170
};

struct Replacement {
    char32_t codePoint;
    std::string_view text;
};

// Punctuation and signs that have a plain form in Latin-1.
constexpr Replacement kPunctuation[] = {
    {0x2018, "'"}, {0x2019, "'"}, {0x201A, "'"}, {0x201C, "\""},  {0x201D, "\""},  {0x201E, "\""},
    {0x2013, "-"}, {0x2014, "-"}, {0x2212, "-"}, {0x2026, "..."}, {0x20AC, "EUR"}, {0x2022, "*"},
    {0x00A0, " "}, {0x2009, " "}, {0x202F, " "}, {0x2032, "'"},   {0x2033, "\""},  {0x0218, "S"},
    {0x0219, "s"}, {0x021A, "T"}, {0x021B, "t"}, {0x2122, "TM"},  {0x2116, "No"},  {0x0192, "f"},
    {0x02C6, "^"}, {0x02DC, "~"},
};

// Decodes one UTF-8 sequence at text[i]; advances i. An invalid byte stands for itself as
// U+FFFD, which no Latin-1 form holds.
char32_t decode(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80             ? 1
                    : (lead & 0xE0) == 0xC0 ? 2
                    : (lead & 0xF0) == 0xE0 ? 3
                    : (lead & 0xF8) == 0xF0 ? 4
                                            : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        code = (code << 6) | (next & 0x3F);
    }
    i += length;
    return code;
}

} // namespace

std::string Latin1Encoder::encode(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    bool changed = false;
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            latin1 += utf8[i++];
            continue;
        }
        const char32_t code = decode(utf8, i);
        if (code <= 0xFF && code != 0xA0) {
            latin1 += static_cast<char>(code);
            continue;
        }
        changed = true;
        if (code >= 0x100 && code <= 0x17F) {
            latin1 += kExtendedA[code - 0x100];
            continue;
        }
        const auto* found =
            std::find_if(std::begin(kPunctuation),
                         std::end(kPunctuation),
                         [code](const Replacement& r) { return r.codePoint == code; });
        latin1 += found != std::end(kPunctuation) ? found->text : std::string_view("?");
    }
    if (changed) {
        ++m_changed;
    }
    return latin1;
}

std::string latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size() + latin1.size() / 8);
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

TextFileWriter::~TextFileWriter() {
    abandon();
}

bool TextFileWriter::open(const std::filesystem::path& path) {
    abandon();
    m_failed = false;
    m_target = path;
    // A link is followed: the file it names is the one replaced, the link stays a link. A target
    // that is no regular file (a device, a pipe) is written in place: it is not ours to replace.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        m_file = std::fopen(path.c_str(), "wb");
        m_failed = m_file == nullptr;
        return m_file != nullptr;
    }
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
        const auto resolved = std::filesystem::weakly_canonical(path, error);
        if (!error) {
            m_target = resolved;
        }
    }
    std::string pattern =
        (m_target.parent_path() / ("." + m_target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        m_failed = true;
        return false;
    }
    // The file gets the permissions a newly created file would have had.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    m_temporary = pattern;
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        ::close(fd);
        abandon();
        m_failed = true;
        return false;
    }
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
    return true;
}

void TextFileWriter::writeLine(std::string_view line) {
    if (m_file == nullptr) {
        return;
    }
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() ||
        std::fwrite("\r\n", 1, 2, m_file) != 2) {
        m_failed = true;
    }
}

void TextFileWriter::write(std::string_view bytes) {
    if (m_file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_failed = true;
    }
}

bool TextFileWriter::close() {
    if (m_file == nullptr) {
        return !m_failed && m_temporary.empty();
    }
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    m_failed = m_failed || !closed;
    if (m_temporary.empty()) {
        return !m_failed; // written in place
    }
    if (m_failed || ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        m_failed = true;
        abandon();
        return false;
    }
    m_temporary.clear();
    return true;
}

void TextFileWriter::abandon() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

bool openOrReport(TextFileWriter& writer, const std::filesystem::path& path, ui::Ui& ui) {
    if (writer.open(path)) {
        return true;
    }
    ui.Message("Impossibile creare\n\n" + path.string(), ui::Icon::Exclamation);
    return false;
}

std::optional<std::filesystem::path> folderOfChosen(const std::filesystem::path& chosen,
                                                    ui::Ui& ui) {
    std::filesystem::path folder = std::filesystem::absolute(chosen).parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        ui.Message("Impossibile creare\n\n" + folder.string(), ui::Icon::Exclamation);
        return std::nullopt;
    }
    return folder;
}

bool closeOrReport(TextFileWriter& writer, const std::filesystem::path& path, ui::Ui& ui) {
    if (writer.close()) {
        return true;
    }
    ui.Message("Errore durante la scrittura del file\n\n" + path.string(), ui::Icon::Exclamation);
    return false;
}

long leadingInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace tramela::workspace
