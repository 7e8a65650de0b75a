#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace tramela {

// A calendar day of the proleptic Gregorian calendar.
struct Date {
    int year = 1;
    int month = 1;
    int day = 1;

    friend auto operator<=>(const Date&, const Date&) = default;

    // Days since 1970-01-01 (negative before it); consecutive days differ by one.
    long serial() const;
    static Date fromSerial(long serial);

    Date addDays(long days) const { return fromSerial(serial() + days); }

    // 1 Monday ... 7 Sunday.
    int weekday() const;

    // "YYYY-MM-DD", the form dates take in the database file.
    std::string iso() const;
    // "GG/MM/AAAA", the form dates take everywhere the user sees them.
    std::string display() const;
};

bool isLeapYear(int year);
int daysInMonth(int year, int month);
bool isValidDate(int year, int month, int day);

// "YYYY-MM-DD" with a real calendar day, or nothing.
std::optional<Date> parseIsoDate(std::string_view text);

// "AAAAMMGG", the compact form of the exchange files: eight digits that make a real calendar day,
// or nothing. "00000000" and "99999999" are the lowest and highest days (01/01/1600 and
// 31/12/2400), as "00/00/0000" and "99/99/9999" are where dates are shown.
std::optional<Date> parseCompactDate(std::string_view digits);

} // namespace tramela
