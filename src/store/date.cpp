#include "store/date.h"

#include <fmt/format.h>

namespace tramela {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

// The era-based conversion between civil dates and a day count: each 400-year era has the same
// 146097 days, so the count is the era's first day plus the day within the era, with years
// counted from March so that the leap day falls at the end of a year.
long Date::serial() const {
    const long y = month <= 2 ? year - 1 : year;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

Date Date::fromSerial(long serial) {
    const long z = serial + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long dayOfEra = z - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long mp = (5 * dayOfYear + 2) / 153;
    Date date;
    date.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

int Date::weekday() const {
    // 1970-01-01 was a Thursday (4).
    const long s = serial();
    const long offset = ((s % 7) + 7) % 7;
    return static_cast<int>((offset + 3) % 7) + 1;
}

std::string Date::iso() const {
    return fmt::format("{:04d}-{:02d}-{:02d}", year, month, day);
}

std::string Date::display() const {
    return fmt::format("{:02d}/{:02d}/{:04d}", day, month, year);
}

std::optional<Date> parseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    int parts[3] = {0, 0, 0};
    const std::pair<int, int> spans[3] = {{0, 4}, {5, 2}, {8, 2}};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < spans[i].second; ++k) {
            const char c = text[static_cast<size_t>(spans[i].first + k)];
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    if (!isValidDate(parts[0], parts[1], parts[2])) {
        return std::nullopt;
    }
    return Date{parts[0], parts[1], parts[2]};
}

std::optional<Date> parseCompactDate(std::string_view digits) {
    if (digits.size() != 8) {
        return std::nullopt;
    }
    int value[3] = {0, 0, 0};
    for (size_t i = 0; i < digits.size(); ++i) {
        const char c = digits[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        int& part = value[i < 4 ? 0 : i < 6 ? 1 : 2];
        part = part * 10 + (c - '0');
    }
    if (digits == "00000000") {
        return Date{1600, 1, 1};
    }
    if (digits == "99999999") {
        return Date{2400, 12, 31};
    }
    if (!isValidDate(value[0], value[1], value[2])) {
        return std::nullopt;
    }
    return Date{value[0], value[1], value[2]};
}

} // namespace tramela
