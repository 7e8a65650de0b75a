#pragma once

#include "store/date.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::calendar {

// Easter Sunday and Easter Monday of a year; nothing outside 1900-2199, where the rule holds.
std::optional<std::pair<Date, Date>> Easter(int year);

// The public holiday a day is, or empty text: the fixed ones and Easter's two days.
std::string_view holidayName(const Date& day);

// "Lunedi" ... "Domenica" for the weekday digits 1 ... 7; empty for any other digit.
std::string_view weekdayName(int digit);

// A cadence active on a day, with the annotation of its calendar row.
struct DayCadence {
    std::string code;
    std::string note;
};

struct CalendarDay {
    Date date;
    int weekday = 1; // 1 Monday ... 7 Sunday
    std::string_view holiday;
    std::vector<DayCadence> cadences;

    // Cadence codes compare without their trailing blanks.
    bool hasCadence(std::string_view code) const;
};

// Every day from a first to a last day inclusive, with its weekday, its holiday name and the
// cadences the calendar makes active on it. A last day before the first gives an empty list.
class DayList {
public:
    DayList(Date first, Date last);

    // Attaches the calendar's rows to their days; rows outside the list are ignored. False when
    // the calendar could not be read (the failure has been shown).
    bool LoadCalendar(store::DatabaseConnection& connection);

    CalendarDay* find(const Date& day);

    const std::vector<CalendarDay>& days() const { return m_days; }

    const Date& first() const { return m_first; }

    const Date& last() const { return m_last; }

private:
    Date m_first;
    Date m_last;
    std::vector<CalendarDay> m_days;
};

// The communication period of the company header, the calendar's default range:
// 01/01/1900 - 31/12/2099 when the header cannot be found.
std::pair<Date, Date> communicationPeriod(store::DatabaseConnection& connection);

// Monday ... Sunday.
using Weekdays = std::array<bool, 7>;
// "1234567"-style digits, each a weekday to include; nothing when a character is not 1-7.
std::optional<Weekdays> parseWeekdays(std::string_view digits);

// The calendar window's operations: each writes the calendar in one transaction, all of it or
// nothing, and keeps the day list in step with the rows written. Failures are shown where they
// are met.
class CalendarEditor {
public:
    CalendarEditor(store::DatabaseConnection& connection, DayList& days);

    // Adds the cadence to every day of the range whose weekday is chosen and that does not have
    // it yet; gives the number of days added, nothing when refused (no day added).
    std::optional<int> FillCadence(std::string_view code,
                                   const Date& first,
                                   const Date& last,
                                   const Weekdays& weekdays);
    // Removes the cadence from every day of the range; gives the number of days cleared, nothing
    // when refused (no day cleared).
    std::optional<int> ClearCadence(std::string_view code, const Date& first, const Date& last);
    bool AddCadence(const Date& day, std::string_view code);
    bool RemoveCadence(const Date& day, std::string_view code);
    // Sets the annotation of every calendar row of the day; empty text is a single blank.
    bool SetAnnotation(const Date& day, std::string_view note);

    // The cadence exists in the register; shows the refusal when it does not.
    bool cadenceExists(std::string_view code);

private:
    bool insertRow(CalendarDay& day, std::string_view code, std::string_view note);

    store::DatabaseConnection& m_connection;
    DayList& m_days;
};

} // namespace tramela::calendar
