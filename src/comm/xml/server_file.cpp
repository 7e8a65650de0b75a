#include "comm/xml/server_file.h"

#include "store/value_text.h"
#include "workspace/text_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <istream>
#include <string>
#include <system_error>
#include <vector>

namespace tramela::comm::xml {

namespace {

constexpr std::string_view kPassphraseKey = "4kTw#Bn85-/qe[";
constexpr std::string_view kMarker = "MAGIC=SirventaServerConfigurationPod";
constexpr std::string_view kCheckPrefix = "CHECK=";
// The first deciphered line: only the right passphrase yields it.
constexpr std::string_view kProof = "#Pardelo#$Quartz$@Hinge@[Lumen]<Rook>";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The bytes of hexadecimal text, each combined with the key's byte at `index`, which runs on
// from one call to the next.
void decipher(std::string_view hex, std::string_view key, std::size_t& index, std::string& out) {
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = std::max(hexDigit(hex[i]), 0);
        const int low = std::max(hexDigit(hex[i + 1]), 0);
        const auto keyByte = static_cast<unsigned char>(key[index % key.size()]);
        out.push_back(static_cast<char>(((high << 4) | low) ^ keyByte));
        ++index;
    }
}

enum class LineRead { Line, End, TooLong };

// One line without its end (LF or CR LF). A line longer than a configuration file has is not
// read further: its length alone refuses the file.
LineRead readLine(std::streambuf& buffer, std::string& line) {
    using Traits = std::char_traits<char>;
    line.clear();
    bool any = false;
    while (true) {
        const Traits::int_type c = buffer.sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) {
            break;
        }
        any = true;
        if (Traits::to_char_type(c) == '\n') {
            break;
        }
        if (line.size() > kMaxServerFileLineLength) {
            return LineRead::TooLong;
        }
        line.push_back(Traits::to_char_type(c));
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > kMaxServerFileLineLength) {
        return LineRead::TooLong;
    }
    return any ? LineRead::Line : LineRead::End;
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

template <typename Number> std::optional<Number> decimalNumber(std::string_view text) {
    if (!allDigits(text)) {
        return std::nullopt;
    }
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

using CheckValues = std::array<std::uint64_t, 4>;

// "a:b:c:d", four decimal numbers; blanks around them are tolerated.
std::optional<CheckValues> parseCheck(std::string_view text) {
    CheckValues values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool last = i + 1 == values.size();
        const std::size_t colon = last ? text.size() : text.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> number =
            decimalNumber<std::uint64_t>(store::trimBlanks(text.substr(0, colon)));
        if (!number) {
            return std::nullopt;
        }
        values[i] = *number;
        text.remove_prefix(last ? colon : colon + 1);
    }
    return values;
}

// The value after the line's key. Control characters would end up in request lines and headers,
// so they refuse the file; a text that is not UTF-8 was written on the original platform's code
// page and is read as Latin-1.
std::optional<std::string> keyedText(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return std::nullopt;
    }
    const std::string_view value = line.substr(key.size());
    if (hasControlCharacters(value)) {
        return std::nullopt;
    }
    if (store::utf8Length(value)) {
        return std::string(value);
    }
    return workspace::latin1ToUtf8(value);
}

// One digit: any digit but 0 sets the flag.
std::optional<bool> keyedFlag(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return std::nullopt;
    }
    const std::string_view value = line.substr(key.size());
    if (value.size() != 1 || !allDigits(value)) {
        return std::nullopt;
    }
    return value != "0";
}

std::optional<int> keyedNumber(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return std::nullopt;
    }
    return wholeNumber(line.substr(key.size()));
}

// The deciphered lines after the first, as the configuration's values.
std::optional<ServerFileContent> readContent(const std::vector<std::string>& lines) {
    if (lines.size() < 11) {
        return std::nullopt;
    }
    ServerFileContent content;
    std::optional<std::string> server = keyedText(lines[1], "SERVER=");
    std::optional<std::string> target = keyedText(lines[2], "TARGET=");
    const std::optional<bool> base = keyedFlag(lines[3], "BASE_AUTH=");
    const std::optional<bool> cgi = keyedFlag(lines[4], "CGI_AUTH=");
    std::optional<std::string> user = keyedText(lines[5], "USER=");
    std::optional<std::string> password = keyedText(lines[6], "PASSWORD=");
    std::optional<std::string> mail = keyedText(lines[7], "MAIL=");
    const std::optional<bool> https = keyedFlag(lines[8], "HTTPS=");
    const std::optional<bool> certificate = keyedFlag(lines[9], "CERTIFICATE=");
    const std::optional<int> chunk = keyedNumber(lines[10], "CHUNKSIZE=");
    // The server names the configuration and is the host to reach: it cannot be empty or blank.
    if (!server || server->empty() || hasBlank(*server) || !target || !base || !cgi || !user ||
        !password || !mail || !https || !certificate || !chunk) {
        return std::nullopt;
    }
    content.server = std::move(*server);
    content.target = std::move(*target);
    content.needsAuthBase = *base;
    content.needsAuthCgi = *cgi;
    content.userName = std::move(*user);
    content.password = std::move(*password);
    content.mailAddress = std::move(*mail);
    content.useHttps = *https;
    content.needsCert = *certificate;
    content.chunkSizeKb = *chunk;
    for (std::size_t i = 11; i < lines.size(); ++i) {
        content.certificate += lines[i];
    }
    return content;
}

} // namespace

std::string storedPassphrase(std::string_view clear) {
    static constexpr std::string_view kDigits = "0123456789abcdef";
    std::string stored;
    stored.reserve(clear.size() * 2);
    for (std::size_t i = 0; i < clear.size(); ++i) {
        const auto byte = static_cast<unsigned char>(
            static_cast<unsigned char>(clear[i]) ^
            static_cast<unsigned char>(kPassphraseKey[i % kPassphraseKey.size()]));
        stored.push_back(kDigits[byte >> 4]);
        stored.push_back(kDigits[byte & 0x0F]);
    }
    return stored;
}

std::string passphraseFromStored(std::string_view stored) {
    std::string clear;
    std::size_t index = 0;
    decipher(stored, kPassphraseKey, index, clear);
    return clear;
}

std::optional<ServerFileContent>
decodeServerFile(std::istream& in, std::string_view passphrase, ServerFileFault* fault) {
    auto refuse = [fault](ServerFileFault why) -> std::optional<ServerFileContent> {
        if (fault != nullptr) {
            *fault = why;
        }
        return std::nullopt;
    };
    if (fault != nullptr) {
        *fault = ServerFileFault::None;
    }
    std::streambuf* buffer = in.rdbuf();
    if (!in || buffer == nullptr) {
        return refuse(ServerFileFault::Unreadable);
    }

    std::vector<std::string> payload;
    int markers = 0;
    std::optional<CheckValues> check;
    std::string line;
    while (true) {
        const LineRead read = readLine(*buffer, line);
        if (read == LineRead::End) {
            break;
        }
        if (read == LineRead::TooLong) {
            return refuse(ServerFileFault::TooLarge);
        }
        if (line == kMarker) {
            if (++markers > 2) {
                return refuse(ServerFileFault::Structure);
            }
        } else if (line.starts_with(kCheckPrefix)) {
            if (markers < 2 || check) {
                return refuse(ServerFileFault::Structure);
            }
            check = parseCheck(std::string_view(line).substr(kCheckPrefix.size()));
            if (!check) {
                return refuse(ServerFileFault::Structure);
            }
        } else {
            if (payload.size() == kMaxServerFilePayloadLines) {
                return refuse(ServerFileFault::TooLarge);
            }
            payload.push_back(line);
        }
    }
    // The check line stands after the second marker, so a file without it is not whole.
    if (!check) {
        return refuse(ServerFileFault::Structure);
    }

    // The payload's characters are counted as one stream across its lines.
    std::uint64_t even = 0;
    std::uint64_t odd = 0;
    std::uint64_t total = 0;
    for (const std::string& text : payload) {
        for (const char c : text) {
            (total % 2 == 0 ? even : odd) += static_cast<unsigned char>(c);
            ++total;
        }
    }
    const CheckValues expected{even, payload.size(), odd, total / 2};
    if (*check != expected) {
        return refuse(ServerFileFault::PayloadCheck);
    }

    if (passphrase.empty()) {
        return refuse(ServerFileFault::Passphrase);
    }
    std::vector<std::string> lines;
    lines.reserve(payload.size());
    std::size_t index = 0;
    for (const std::string& text : payload) {
        std::string bytes;
        decipher(text, passphrase, index, bytes);
        lines.push_back(std::move(bytes));
    }
    if (lines.empty() || lines.front() != kProof) {
        return refuse(ServerFileFault::Passphrase);
    }
    std::optional<ServerFileContent> content = readContent(lines);
    if (!content) {
        return refuse(ServerFileFault::Content);
    }
    return content;
}

bool hasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool hasBlank(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

std::optional<int> wholeNumber(std::string_view text) {
    return decimalNumber<int>(text);
}

} // namespace tramela::comm::xml
