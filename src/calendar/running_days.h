#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::calendar {

// A trip's period of validity as the running-day count and the trip summaries read it.
struct TripPeriod {
    std::string start;   // inizio, "GG/MM/AAAA"
    std::string end;     // fine, "GG/MM/AAAA"
    std::string cadence; // caden
    bool excluded = false;
};

// The calendar as the running-day count reads it: one entry per distinct date, in the order the
// dates were first added, with the cadences active on each.
class RunningDayCalendar {
public:
    struct Day {
        int year = 0;
        int month = 0;
        int day = 0;
        std::vector<std::string> cadences; // without trailing blanks
    };

    // Adds a calendar row: the cadence becomes active on the date ("GG/MM/AAAA"). A date that is
    // not ten characters long, or not digits where the form has them, is ignored.
    void add(std::string_view date, std::string_view cadence);

    const std::vector<Day>& days() const { return m_days; }

    // The days from the first to the last "GG/MM/AAAA" inclusive (compared by year, then month,
    // then day) on which the cadence is active; 0 when either date is not in that form.
    int countDays(std::string_view first, std::string_view last, std::string_view cadence) const;

private:
    std::vector<Day> m_days;
    std::unordered_map<std::int32_t, size_t> m_dayIndex; // yyyymmdd -> entry
    // For each cadence the dates (yyyymmdd) on which it is active, ascending.
    std::map<std::string, std::vector<std::int32_t>, std::less<>> m_cadenceDays;
};

// The whole calendar (`calend`), read in order of date and cadence. Nothing when it could not be
// read (the failure has been shown).
std::optional<RunningDayCalendar> loadRunningDayCalendar(store::DatabaseConnection& connection);

// The number of days on which a trip runs: the calendar days each granting period covers with
// its cadence, less those of each withdrawing period. Overlapping granting periods count their
// common days once each, so this can exceed the days of the trip's day vector.
int runningDayCount(const RunningDayCalendar& calendar, std::span<const TripPeriod> periods);

// The cadence of a trip with exactly one period, otherwise "Plurima".
std::string tripCadenceSummary(std::span<const TripPeriod> periods);

// The earliest start and the latest end of the periods, as stored ("GG/MM/AAAA"); empty text for
// a trip without periods in that form.
std::string tripFirstStart(std::span<const TripPeriod> periods);
std::string tripLastEnd(std::span<const TripPeriod> periods);

} // namespace tramela::calendar
