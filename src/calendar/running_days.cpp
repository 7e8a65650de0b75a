#include "calendar/running_days.h"

#include "store/query_cursor.h"
#include "store/value_text.h"

#include <algorithm>

namespace tramela::calendar {

namespace {

constexpr std::string_view kSeveralCadences = "Plurima";

// A date "GG/MM/AAAA" as year × 10000 + month × 100 + day, so that dates compare as numbers:
// 20/12/2024 gives 20241220, which precedes 05/01/2025's 20250105. The marks compare as their
// digits say: "00/00/0000" before every day, "99/99/9999" after.
std::optional<std::int32_t> dateKey(std::string_view text) {
    if (text.size() != 10) {
        return std::nullopt;
    }
    std::int32_t day = 0;
    std::int32_t month = 0;
    std::int32_t year = 0;
    const auto digits = [&](size_t from, size_t count, std::int32_t& value) {
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return false;
            }
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    if (!digits(0, 2, day) || !digits(3, 2, month) || !digits(6, 4, year)) {
        return std::nullopt;
    }
    return year * 10000 + month * 100 + day;
}

// The period whose date `pick` is best by `better`, by the keys of the dates.
template <typename Pick, typename Better>
std::string extremeDate(std::span<const TripPeriod> periods, Pick pick, Better better) {
    std::optional<std::int32_t> best;
    std::string text;
    for (const TripPeriod& period : periods) {
        const std::string& date = pick(period);
        const auto key = dateKey(date);
        if (key && (!best || better(*key, *best))) {
            best = key;
            text = date;
        }
    }
    return text;
}

} // namespace

void RunningDayCalendar::add(std::string_view date, std::string_view cadence) {
    const auto key = dateKey(date);
    if (!key) {
        return;
    }
    const auto [entry, added] = m_dayIndex.try_emplace(*key, m_days.size());
    if (added) {
        m_days.push_back({*key / 10000, *key / 100 % 100, *key % 100, {}});
    }
    Day& day = m_days[entry->second];
    const std::string_view code = store::withoutTrailingBlanks(cadence);
    if (std::find(day.cadences.begin(), day.cadences.end(), code) != day.cadences.end()) {
        return;
    }
    day.cadences.emplace_back(code);

    // Rows usually come in date order, so the date joins the end of its cadence's list.
    auto list = m_cadenceDays.find(code);
    if (list == m_cadenceDays.end()) {
        list = m_cadenceDays.emplace(std::string(code), std::vector<std::int32_t>{}).first;
    }
    std::vector<std::int32_t>& keys = list->second;
    keys.insert(std::upper_bound(keys.begin(), keys.end(), *key), *key);
}

int RunningDayCalendar::countDays(std::string_view first,
                                  std::string_view last,
                                  std::string_view cadence) const {
    const auto from = dateKey(first);
    const auto to = dateKey(last);
    const auto list = m_cadenceDays.find(store::withoutTrailingBlanks(cadence));
    if (!from || !to || *from > *to || list == m_cadenceDays.end()) {
        return 0;
    }
    const std::vector<std::int32_t>& keys = list->second;
    return static_cast<int>(std::upper_bound(keys.begin(), keys.end(), *to) -
                            std::lower_bound(keys.begin(), keys.end(), *from));
}

std::optional<RunningDayCalendar> loadRunningDayCalendar(store::DatabaseConnection& connection) {
    store::QueryCursor cursor(connection);
    cursor.SetSelect("data, caden");
    cursor.SetFrom("calend");
    cursor.SetOrderBy("data, caden");
    RunningDayCalendar calendar;
    std::string date;
    std::string cadence;
    for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
        cursor.GetDateText(0, date);
        cursor.GetText("caden", cadence);
        calendar.add(date, cadence);
    }
    if (cursor.failed()) {
        return std::nullopt;
    }
    return calendar;
}

int runningDayCount(const RunningDayCalendar& calendar, std::span<const TripPeriod> periods) {
    int days = 0;
    for (const TripPeriod& period : periods) {
        const int covered = calendar.countDays(period.start, period.end, period.cadence);
        days += period.excluded ? -covered : covered;
    }
    return days;
}

std::string tripCadenceSummary(std::span<const TripPeriod> periods) {
    if (periods.size() != 1) {
        return std::string(kSeveralCadences);
    }
    return std::string(store::withoutTrailingBlanks(periods.front().cadence));
}

std::string tripFirstStart(std::span<const TripPeriod> periods) {
    return extremeDate(
        periods, [](const TripPeriod& p) -> const std::string& { return p.start; }, std::less<>{});
}

std::string tripLastEnd(std::span<const TripPeriod> periods) {
    return extremeDate(
        periods, [](const TripPeriod& p) -> const std::string& { return p.end; }, std::greater<>{});
}

} // namespace tramela::calendar
