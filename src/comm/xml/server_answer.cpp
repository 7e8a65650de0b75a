#include "comm/xml/server_answer.h"

#include "ui/ui.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace tramela::comm::xml {

namespace {

constexpr std::size_t kLineLimit = 4095;
constexpr std::size_t kTagLimit = 4095;
constexpr std::size_t kRunLimit = 4095;
constexpr std::size_t kCommentLimit = 1023;

constexpr std::string_view kFailedEnd = "Quindi a causa degli errori precedenti la trasmissione "
                                        "telematica\nnon è andata a buon fine";
constexpr std::string_view kRefusedEnd = "Quindi a causa dell'errore precedente la trasmissione "
                                         "telematica\nnon è andata a buon fine";

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF are not).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// The server's bytes as UTF-8 for the user interface: well-formed UTF-8 stays, every other byte
// is an ISO-8859-1 character.
std::string displayText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, at);
        if (length > 0) {
            text.append(bytes.substr(at, length));
            at += length;
        } else {
            const auto c = static_cast<unsigned char>(bytes[at++]);
            text += static_cast<char>(0xC0 | c >> 6);
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// The whole number after the first blank of the status line; 0 without one.
long statusCode(std::string_view statusLine) {
    const auto blank = statusLine.find(' ');
    if (blank == std::string_view::npos) {
        return 0;
    }
    std::size_t at = blank + 1;
    while (at < statusLine.size() && (statusLine[at] == ' ' || statusLine[at] == '\t')) {
        ++at;
    }
    bool negative = false;
    if (at < statusLine.size() && (statusLine[at] == '-' || statusLine[at] == '+')) {
        negative = statusLine[at++] == '-';
    }
    long code = 0;
    for (; at < statusLine.size() && statusLine[at] >= '0' && statusLine[at] <= '9'; ++at) {
        code = std::min(code * 10 + (statusLine[at] - '0'), 1'000'000'000L);
    }
    return negative ? -code : code;
}

// The scan of the HTML page, line after line; the tag and body states carry over lines.
class PageScanner {
public:
    void scanLine(std::string_view line) {
        bool space = false;
        bool newline = false;
        for (const char c : line) {
            if (c == ' ' || c == '\t') {
                space = true;
            } else if (c == '\n' || c == '\r') {
                newline = true;
            } else if (c == '<') {
                flushRun(true);
                m_inTag = true;
                m_tag = "<";
            } else if (m_inTag) {
                if (c == '>') {
                    endTag();
                } else if (m_tag.size() < kTagLimit) {
                    m_tag += c;
                }
            } else if (m_inBody) {
                if (newline) {
                    appendToRun('\n');
                }
                if (space) {
                    appendToRun(' ');
                }
                appendToRun(c);
                space = false;
                newline = false;
            }
        }
        flushRun(false);
    }

    const std::string& collected() const { return m_collected; }

    bool markerResult() const { return m_markerResult; }

private:
    void appendToRun(char c) {
        if (m_run.size() < kRunLimit) {
            m_run += c;
        }
    }

    void flushRun(bool withLineEnd) {
        if (!m_run.empty()) {
            m_collected += m_run;
            if (withLineEnd) {
                m_collected += '\n';
            }
            m_run.clear();
        }
    }

    void endTag() {
        m_inTag = false;
        if (startsWithNoCase(m_tag, "<body")) {
            m_inBody = true;
        } else if (startsWithNoCase(m_tag, "</body")) {
            m_inBody = false;
        } else if (m_tag.starts_with("<!--")) {
            examineComment(std::string_view(m_tag).substr(0, kCommentLimit));
        }
    }

    // The words of a comment follow each other once blanks are gone: a token is matched from
    // its start, so anything between the marker word and its result breaks the match.
    void examineComment(std::string_view comment) {
        bool ok = false;
        bool error = false;
        std::string token;
        for (const char c : comment) {
            token += c;
            if (token == "<!--") {
                token.clear();
            } else if (token == kMarkerWord) {
                m_collected.clear();
                token.clear();
            } else if (token == "ok") {
                ok = true;
                token.clear();
            } else if (token == "error") {
                error = true;
                token.clear();
            }
        }
        if (error) {
            m_markerResult = false;
        } else if (ok) {
            m_markerResult = true;
        }
    }

    bool m_inTag = false;
    bool m_inBody = false;
    bool m_markerResult = false;
    std::string m_tag;
    std::string m_run;
    std::string m_collected;
};

} // namespace

ServerAnswer judgeAnswer(std::string_view answer) {
    ServerAnswer judged;
    judged.bodyText = "\n";
    if (answer.empty()) {
        judged.message = "Non è disponibile alcuna risposta proveniente dal server SIRVENTA\n\n";
        judged.message += kFailedEnd;
        return judged;
    }

    // The answer is complete when the connection has ended: the text after the last line feed
    // is its last line, so a marker there is read like any other.
    PageScanner scanner;
    std::string_view statusLine;
    for (std::size_t start = 0; start < answer.size();) {
        std::size_t end = answer.find('\n', start);
        if (end == std::string_view::npos) {
            end = answer.size() - 1;
        }
        const std::string_view line = answer.substr(start, std::min(end + 1 - start, kLineLimit));
        if (line.starts_with("HTTP")) {
            statusLine = line;
        }
        scanner.scanLine(line);
        start = end + 1;
    }
    judged.markerResult = scanner.markerResult();
    judged.statusLine = displayText(statusLine);
    judged.bodyText += displayText(scanner.collected());

    if (statusLine.empty()) {
        judged.message = "La risposta proveniente dal server SIRVENTA non contiene\n"
                         "nessuna informazione di stato\n\n";
        judged.message += kFailedEnd;
        return judged;
    }

    // The status line ends with the server's CR LF; the box shows a plain line end.
    std::string shownStatus = judged.statusLine;
    if (shownStatus.ends_with("\r\n")) {
        shownStatus.erase(shownStatus.size() - 2, 1);
    }
    judged.message = "Il server SIRVENTA ha inviato la seguente informazione di stato:\n\n";
    judged.message += shownStatus;
    switch (statusCode(statusLine)) {
    case 200:
        judged.message += judged.bodyText;
        if (judged.markerResult) {
            judged.message += "\nQuindi la trasmissione telematica è andata a buon fine";
            judged.success = true;
        } else {
            judged.message += '\n';
            judged.message += kRefusedEnd;
        }
        break;
    case 401:
        judged.message += judged.bodyText;
        judged.message += "\nUtente non autorizzato !!!\n"
                          "[presumibilmente user+password sono errate]\n\n";
        judged.message += kRefusedEnd;
        break;
    default:
        judged.message += "\nErrore non classificato !!!\n\n";
        judged.message += kRefusedEnd;
        break;
    }
    return judged;
}

bool showOutcome(ui::Ui& ui, const TransferResult& result) {
    if (!result.delivered) {
        ui.Message("A causa di problemi sulla connessione di rete\n"
                   "non risulta possibile completare l'invio telematico",
                   ui::Icon::Stop);
        return false;
    }
    const ServerAnswer judged = judgeAnswer(result.answer);
    ui.Message(judged.message, judged.success ? ui::Icon::Information : ui::Icon::Stop);
    return judged.success;
}

} // namespace tramela::comm::xml
