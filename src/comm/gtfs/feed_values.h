#pragma once

#include "store/date.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace tramela::comm::gtfs {

// The text without the blanks, tabs and carriage returns around it.
inline std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// A number as the feed writes it, blanks around and a leading "+" allowed; nothing when the
// text is anything else.
template <typename T> std::optional<T> parseNumber(std::string_view text) {
    text = trimmed(text);
    T value{};
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "H:MM:SS" or "HH:MM:SS", seconds after noon minus twelve hours of the service day; past
// midnight the hours go on counting (25:10:00 is 01:10 of the next day).
std::optional<int> parseTime(std::string_view text);

// "AAAAMMGG" with a real calendar day.
std::optional<Date> parseFeedDate(std::string_view text);

} // namespace tramela::comm::gtfs
