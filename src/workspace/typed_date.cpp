#include "workspace/typed_date.h"

namespace tramela::workspace {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSeparator(char c) {
    return c == '/' || c == '.' || c == '-';
}

int number(std::string_view digits) {
    int value = 0;
    for (const char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<Date> parseTypedDate(std::string_view text) {
    // The length is counted in characters, but counting bytes gives the same verdict: a text
    // holding a character outside ASCII is refused either way, by its length or because that
    // character is neither a digit nor a separator ("01/03/2è9" is 9 characters, 10 bytes).
    if (text.size() != 8 && text.size() != 10) {
        return std::nullopt;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool separatorPlace = i == 2 || i == 5;
        if (separatorPlace ? !isSeparator(text[i]) : !isDigit(text[i])) {
            return std::nullopt;
        }
    }
    const int day = number(text.substr(0, 2));
    const int month = number(text.substr(3, 2));
    // A two-digit year is always of this century: 05/03/09 is 5 March 2009, never 1909.
    const int year =
        text.size() == 10 ? number(text.substr(6, 4)) : 2000 + number(text.substr(6, 2));
    if (!isValidDate(year, month, day)) {
        return std::nullopt;
    }
    return Date{year, month, day};
}

std::optional<std::string> normaliseTypedDate(std::string_view text) {
    const std::optional<Date> date = parseTypedDate(text);
    if (!date) {
        return std::nullopt;
    }
    return date->display();
}

} // namespace tramela::workspace
