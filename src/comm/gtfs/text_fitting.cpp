#include "comm/gtfs/text_fitting.h"

#include <algorithm>
#include <fmt/format.h>

namespace tramela::comm::gtfs {

void Adaptations::add(const std::string& kind, std::string example) {
    auto [it, inserted] = m_byKind.try_emplace(kind);
    if (inserted) {
        m_order.push_back(kind);
    }
    ++it->second.count;
    if (it->second.examples.size() < kExamples) {
        it->second.examples.push_back(std::move(example));
    }
}

std::string Adaptations::text() const {
    if (m_order.empty()) {
        return "Nessun adattamento dei dati è stato necessario.\n";
    }
    std::string out = "Adattamenti effettuati:\n";
    for (const std::string& kind : m_order) {
        const Entry& entry = m_byKind.at(kind);
        out += fmt::format("- {}: {}\n", kind, entry.count);
        for (const std::string& example : entry.examples) {
            out += fmt::format("    {}\n", example);
        }
        if (entry.count > entry.examples.size()) {
            out += fmt::format("    ... e altri {}\n", entry.count - entry.examples.size());
        }
    }
    return out;
}

std::string latin1Safe(std::string_view text, bool& changed) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80           ? 1
                        : (byte >> 5) == 0x6  ? 2
                        : (byte >> 4) == 0xE  ? 3
                        : (byte >> 3) == 0x1E ? 4
                                              : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (!valid) {
            out += '?';
            changed = true;
            ++i;
            continue;
        }
        // Two-byte sequences C2 80 ... C3 BF are exactly the code points 0x80 ... 0xFF. Control
        // characters (a line feed, a tab) would break the lines and widths of the exchange
        // files.
        const bool control =
            (length == 1 && (byte < 0x20 || byte == 0x7F)) ||
            (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);
        if (!control && (length == 1 || (length == 2 && (byte == 0xC2 || byte == 0xC3)))) {
            out.append(text.substr(i, length));
        } else {
            out += '?';
            changed = true;
        }
        i += length;
    }
    return out;
}

std::string cutChars(std::string_view text, size_t limit, bool& cut) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == limit) {
                cut = true;
                return std::string(text.substr(0, i));
            }
            ++chars;
        }
    }
    return std::string(text);
}

size_t charCount(std::string_view text) {
    size_t chars = 0;
    for (const char c : text) {
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return chars;
}

// The text with each control character (a line feed, a tab, C1 codes) replaced by a blank, and
// the blanks this leaves at either end dropped; `changed` is set when there was any.
std::string controlsBlanked(std::string_view text, bool& changed) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto byte = static_cast<unsigned char>(out[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out[i] = ' ';
            changed = true;
        } else if (byte == 0xC2 && i + 1 < out.size() &&
                   static_cast<unsigned char>(out[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(out[i + 1]) < 0xA0) {
            out.replace(i, 2, " ");
            changed = true;
        }
    }
    if (changed) {
        const size_t first = out.find_first_not_of(' ');
        out = first == std::string::npos ? std::string()
                                         : out.substr(first, out.find_last_not_of(' ') - first + 1);
    }
    return out;
}

std::string
fitText(std::string_view original, size_t limit, std::string_view what, Adaptations& adaptations) {
    bool blanked = false;
    const std::string text = controlsBlanked(original, blanked);
    if (blanked) {
        adaptations.add("caratteri di controllo (a capo, tabulazioni) sostituiti da uno spazio",
                        fmt::format("{} \"{}\"", what, text));
    }
    bool changed = false;
    std::string safe = latin1Safe(text, changed);
    if (changed) {
        adaptations.add("caratteri non rappresentabili in Latin-1 sostituiti con '?'",
                        fmt::format("{} \"{}\"", what, text));
    }
    bool cut = false;
    std::string out = cutChars(safe, limit, cut);
    if (cut) {
        adaptations.add(fmt::format("{} troncati a {} caratteri", what, limit),
                        fmt::format("\"{}\" -> \"{}\"", safe, out));
    }
    return out;
}

std::string CodeSet::uniqueCode(std::string_view text,
                                size_t limit,
                                std::string_view what,
                                Adaptations& adaptations,
                                bool reportChange) {
    bool changed = false;
    const std::string safe = latin1Safe(text, changed);
    if (!changed && !safe.empty() && charCount(safe) <= limit && !m_used.contains(safe)) {
        m_used.insert(safe);
        return safe;
    }
    // Every text with the same first limit - 2 characters tries the same codes in the same
    // order ("una-cors~1", "una-cors~2", ..., "una-cor~10" in 10 characters), and a code once
    // given stays given: each family goes on from the first number it has not tried, so a
    // thousand departures of one long trip code cost a thousand tries, not half a million.
    bool cut = false;
    const std::string stem = cutChars(safe, limit > 2 ? limit - 2 : 0, cut);
    int& next = m_nextNumber[fmt::format("{}\x1f{}", limit, stem)];
    std::string code;
    for (int n = std::max(next, 1);; ++n) {
        const std::string suffix = fmt::format("~{}", n);
        code = cutChars(stem, limit > suffix.size() ? limit - suffix.size() : 0, cut) + suffix;
        if (!m_used.contains(code)) {
            next = n + 1;
            break;
        }
    }
    m_used.insert(code);
    if (reportChange) {
        adaptations.add(fmt::format("{} sostituiti da un codice generato (lunghi più di {} "
                                    "caratteri, duplicati o non rappresentabili)",
                                    what,
                                    limit),
                        fmt::format("\"{}\" -> \"{}\"", text, code));
    }
    return code;
}

} // namespace tramela::comm::gtfs
