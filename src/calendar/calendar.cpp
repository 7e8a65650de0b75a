#include "calendar/calendar.h"

#include "calendar/cadences.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"

#include <algorithm>
#include <fmt/format.h>

namespace tramela::calendar {

namespace {

struct FixedHoliday {
    int month;
    int day;
    std::string_view name;
};

constexpr FixedHoliday kFixedHolidays[] = {
    {1, 1, "Capodanno"},
    {1, 6, "Epifania"},
    {4, 25, "25 Aprile"},
    {5, 1, "1 Maggio"},
    {6, 2, "2 Giugno"},
    {8, 15, "Ferragosto"},
    {11, 1, "Ognisanti"},
    {11, 2, "Defunti"},
    {11, 4, "4 Novembre"},
    {12, 8, "Immacolata"},
    {12, 25, "Natale"},
    {12, 26, "S.Stefano"},
};

constexpr std::string_view kWeekdayNames[] = {
    "Lunedi", "Martedi", "Mercoledi", "Giovedi", "Venerdi", "Sabato", "Domenica"};

Date parseDisplayDate(std::string_view text) {
    const auto iso = store::storeDateToIso(text);
    return iso ? parseIsoDate(*iso).value_or(Date{}) : Date{};
}

} // namespace

std::optional<std::pair<Date, Date>> Easter(int year) {
    if (year < 1900 || year > 2199) {
        return std::nullopt;
    }
    // The paschal full moon from the golden number and the epact of these centuries. A moon
    // past the 31 days of March falls in April: 50 - epact = 32 is 1 April. Its two classic
    // exceptions keep it on or before 18 April.
    const int golden = year % 19 + 1;
    const int epact = (11 * golden - 6) % 30;
    Date full{year, 3, 50 - epact};
    if (50 - epact > 31) {
        full = {year, 4, 19 - epact};
        if (full.day == 19) {
            full.day = 18;
        } else if (full.day == 18 && golden >= 12) {
            full.day = 17;
        }
    }
    // The first Sunday strictly after the paschal full moon: a full moon on a Sunday moves
    // Easter a whole week on (2021: the 28 March full moon gives Easter on 4 April).
    const int weekday = full.weekday(); // 1 Monday ... 7 Sunday
    const Date sunday = full.addDays(7 - weekday % 7);
    return std::pair{sunday, sunday.addDays(1)};
}

std::string_view holidayName(const Date& day) {
    for (const FixedHoliday& holiday : kFixedHolidays) {
        if (holiday.month == day.month && holiday.day == day.day) {
            return holiday.name;
        }
    }
    if (day.month == 3 || day.month == 4) {
        if (const auto easter = Easter(day.year)) {
            if (day == easter->first) {
                return "Pasqua";
            }
            if (day == easter->second) {
                return "Pasquetta";
            }
        }
    }
    return {};
}

std::string_view weekdayName(int digit) {
    return digit >= 1 && digit <= 7 ? kWeekdayNames[digit - 1] : std::string_view();
}

bool CalendarDay::hasCadence(std::string_view code) const {
    code = store::withoutTrailingBlanks(code);
    return std::any_of(cadences.begin(), cadences.end(), [&](const DayCadence& cadence) {
        return store::withoutTrailingBlanks(cadence.code) == code;
    });
}

DayList::DayList(Date first, Date last)
    : m_first(first)
    , m_last(last) {
    const long count = last.serial() - first.serial() + 1;
    if (count <= 0) {
        return;
    }
    m_days.reserve(static_cast<size_t>(count));
    for (Date day = first; day <= last; day = day.addDays(1)) {
        m_days.push_back({day, day.weekday(), holidayName(day), {}});
    }
}

CalendarDay* DayList::find(const Date& day) {
    const long index = day.serial() - m_first.serial();
    if (index < 0 || index >= static_cast<long>(m_days.size())) {
        return nullptr;
    }
    return &m_days[static_cast<size_t>(index)];
}

bool DayList::LoadCalendar(store::DatabaseConnection& connection) {
    for (CalendarDay& day : m_days) {
        day.cadences.clear();
    }
    store::QueryCursor rows(connection);
    rows.SetSelect("data, caden, giorno, note");
    rows.SetFrom("calend");
    rows.SetWhere("data >= ?1 AND data <= ?2");
    rows.SetOrderBy("data, caden");
    rows.Bind(1, std::string_view(m_first.iso()));
    rows.Bind(2, std::string_view(m_last.iso()));
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::string date;
        DayCadence cadence;
        rows.GetDateText(0, date);
        rows.GetDateText(1, cadence.code);
        rows.GetDateText(3, cadence.note);
        if (CalendarDay* day = find(parseDisplayDate(date))) {
            day->cadences.push_back(std::move(cadence));
        }
    }
    return !rows.failed();
}

std::pair<Date, Date> communicationPeriod(store::DatabaseConnection& connection) {
    std::pair<Date, Date> period{{1900, 1, 1}, {2099, 12, 31}};
    if (!connection.tableExists("master")) {
        return period;
    }
    store::TableCursor master(&connection, "master");
    if (master.SelectIndex("codice") && master.Seek({"0"})) {
        std::string first;
        std::string last;
        master.GetFieldText("datini", first);
        master.GetFieldText("datfin", last);
        const auto firstIso = store::storeDateToIso(first);
        const auto lastIso = store::storeDateToIso(last);
        if (firstIso && lastIso) {
            period = {*parseIsoDate(*firstIso), *parseIsoDate(*lastIso)};
        }
    }
    return period;
}

std::optional<Weekdays> parseWeekdays(std::string_view digits) {
    Weekdays weekdays{};
    for (const char c : digits) {
        if (c < '1' || c > '7') {
            return std::nullopt;
        }
        weekdays[static_cast<size_t>(c - '1')] = true;
    }
    return weekdays;
}

CalendarEditor::CalendarEditor(store::DatabaseConnection& connection, DayList& days)
    : m_connection(connection)
    , m_days(days) {}

bool CalendarEditor::cadenceExists(std::string_view code) {
    store::QueryCursor cadence(m_connection);
    cadence.SetSelect("codice");
    cadence.SetFrom("cadenz");
    cadence.SetWhere("RTRIM(codice) = ?1");
    cadence.Bind(1, store::withoutTrailingBlanks(code));
    if (cadence.Execute()) {
        return true;
    }
    if (!cadence.failed()) {
        m_connection.ui().Message(missingCadenceMessage(code), ui::Icon::Stop);
    }
    return false;
}

bool CalendarEditor::insertRow(CalendarDay& day, std::string_view code, std::string_view note) {
    store::TableCursor calendar(&m_connection, "calend");
    calendar.AddNew();
    calendar.SetField("data", day.date.display());
    calendar.SetField("caden", code);
    calendar.SetField("giorno", std::to_string(day.weekday));
    calendar.SetField("note", note.empty() ? std::string_view(" ") : note);
    if (!calendar.Update()) {
        return false;
    }
    day.cadences.push_back({std::string(code), std::string(note.empty() ? " " : note)});
    return true;
}

std::optional<int> CalendarEditor::FillCadence(std::string_view code,
                                               const Date& first,
                                               const Date& last,
                                               const Weekdays& weekdays) {
    code = store::withoutTrailingBlanks(code);
    if (!cadenceExists(code)) {
        return std::nullopt;
    }
    // The fill is one change: a refused row undoes the rows added before it.
    store::Transaction transaction(m_connection);
    store::TableCursor calendar(&m_connection, "calend");
    std::vector<CalendarDay*> filled;
    for (Date date = first; transaction.active() && date <= last; date = date.addDays(1)) {
        CalendarDay* day = m_days.find(date);
        if (day == nullptr || !weekdays[static_cast<size_t>(day->weekday - 1)] ||
            day->hasCadence(code)) {
            continue;
        }
        calendar.AddNew();
        calendar.SetField("data", date.display());
        calendar.SetField("caden", code);
        calendar.SetField("giorno", std::to_string(day->weekday));
        calendar.SetField("note", " ");
        if (!calendar.Update()) {
            return std::nullopt;
        }
        filled.push_back(day);
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    for (CalendarDay* day : filled) {
        day->cadences.push_back({std::string(code), " "});
    }
    return static_cast<int>(filled.size());
}

std::optional<int>
CalendarEditor::ClearCadence(std::string_view code, const Date& first, const Date& last) {
    code = store::withoutTrailingBlanks(code);
    store::QueryCursor rows(m_connection);
    rows.SetSelect("data, caden");
    rows.SetFrom("calend");
    rows.SetWhere("RTRIM(caden) = ?1 AND data >= ?2 AND data <= ?3");
    rows.Bind(1, code);
    rows.Bind(2, std::string_view(first.iso()));
    rows.Bind(3, std::string_view(last.iso()));
    store::Transaction transaction(m_connection);
    store::TableCursor calendar(&m_connection, "calend");
    calendar.SelectIndex("codice");
    std::vector<std::string> cleared;
    for (bool row = transaction.active() && rows.Execute(); row; row = rows.MoveNext()) {
        std::string date;
        std::string stored;
        rows.GetDateText(0, date);
        rows.GetDateText(1, stored);
        if (!calendar.Seek({date, stored}) || !calendar.Delete()) {
            return std::nullopt;
        }
        cleared.push_back(std::move(date));
    }
    if (rows.failed() || !transaction.commit()) {
        return std::nullopt;
    }
    for (const std::string& date : cleared) {
        if (CalendarDay* day = m_days.find(parseDisplayDate(date))) {
            std::erase_if(day->cadences, [&](const DayCadence& cadence) {
                return store::withoutTrailingBlanks(cadence.code) == code;
            });
        }
    }
    return static_cast<int>(cleared.size());
}

bool CalendarEditor::AddCadence(const Date& date, std::string_view code) {
    code = store::withoutTrailingBlanks(code);
    CalendarDay* day = m_days.find(date);
    if (day == nullptr || !cadenceExists(code)) {
        return false;
    }
    store::Transaction transaction(m_connection);
    return transaction.active() && insertRow(*day, code, day->holiday) && transaction.commit();
}

bool CalendarEditor::RemoveCadence(const Date& date, std::string_view code) {
    code = store::withoutTrailingBlanks(code);
    store::QueryCursor rows(m_connection);
    rows.SetSelect("caden");
    rows.SetFrom("calend");
    rows.SetWhere("data = ?1");
    rows.Bind(1, std::string_view(date.iso()));
    std::string stored;
    bool found = false;
    for (bool row = rows.Execute(); row && !found; row = rows.MoveNext()) {
        rows.GetDateText(0, stored);
        found = store::withoutTrailingBlanks(stored) == code;
    }
    if (!found) {
        if (!rows.failed()) {
            m_connection.ui().Message(
                fmt::format("La cadenza {} non è attiva il giorno {}.", code, date.display()),
                ui::Icon::Exclamation);
        }
        return false;
    }
    store::TableCursor calendar(&m_connection, "calend");
    calendar.SelectIndex("codice");
    if (!calendar.Seek({date.display(), stored}) || !calendar.Delete()) {
        return false;
    }
    if (CalendarDay* day = m_days.find(date)) {
        std::erase_if(day->cadences, [&](const DayCadence& cadence) {
            return store::withoutTrailingBlanks(cadence.code) == code;
        });
    }
    return true;
}

bool CalendarEditor::SetAnnotation(const Date& date, std::string_view note) {
    const std::string text = note.empty() ? std::string(" ") : std::string(note);
    store::QueryCursor rows(m_connection);
    rows.SetSelect("caden");
    rows.SetFrom("calend");
    rows.SetWhere("data = ?1");
    rows.Bind(1, std::string_view(date.iso()));
    std::vector<std::string> updated;
    // A refused annotation leaves every row of the day as it was.
    store::Transaction transaction(m_connection);
    store::TableCursor calendar(&m_connection, "calend");
    calendar.SelectIndex("codice");
    for (bool row = transaction.active() && rows.Execute(); row; row = rows.MoveNext()) {
        std::string stored;
        rows.GetDateText(0, stored);
        if (!calendar.Seek({date.display(), stored}) || !calendar.Edit() ||
            !calendar.SetField("note", text) || !calendar.Update()) {
            return false;
        }
        updated.push_back(std::move(stored));
    }
    if (rows.failed() || !transaction.commit()) {
        return false;
    }
    if (CalendarDay* day = m_days.find(date)) {
        for (DayCadence& cadence : day->cadences) {
            if (std::find(updated.begin(), updated.end(), cadence.code) != updated.end()) {
                cadence.note = text;
            }
        }
    }
    return true;
}

} // namespace tramela::calendar
