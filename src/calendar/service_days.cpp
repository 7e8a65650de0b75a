#include "calendar/service_days.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/value_text.h"
#include "ui/row_progress.h"
#include "ui/ui.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <variant>

namespace tramela::calendar {

namespace {

using store::QueryCursor;

// A date as the store layer shows it ("GG/MM/AAAA", or the marks "00/00/0000" and
// "99/99/9999" for the lowest and highest days), or nothing.
std::optional<Date> displayedDate(std::string_view text) {
    const auto iso = store::storeDateToIso(text);
    return iso ? parseIsoDate(*iso) : std::nullopt;
}

// One SELECT of a step: its parts and the values of its parameters in order. Values from the
// caller reach SQL only as parameters.
struct Query {
    std::string select;
    std::string from;
    std::string where;
    std::string orderBy;
    std::vector<std::variant<std::int64_t, std::string>> values;
};

// The query itself, or with `count` the number of its rows.
void prepare(QueryCursor& cursor, const Query& query, bool count = false) {
    cursor.SetSelect(count ? "COUNT(*)" : query.select);
    cursor.SetFrom(query.from);
    cursor.SetWhere(query.where);
    cursor.SetOrderBy(count ? "" : query.orderBy);
    for (size_t i = 0; i < query.values.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        std::visit([&](const auto& value) { cursor.Bind(position, value); }, query.values[i]);
    }
}

// The days of the range on which one cadence is active, as a mask of one byte a day (1 active),
// for each cadence of the calendar, so that a period is resolved by walking its days once.
class CadenceMasks {
public:
    explicit CadenceMasks(int days)
        : m_days(static_cast<size_t>(days)) {}

    void set(const std::string& cadence, std::int32_t day) {
        const auto [it, added] = m_index.try_emplace(cadence, m_index.size());
        if (added) {
            m_masks.resize(m_masks.size() + m_days, 0);
        }
        m_masks[it->second * m_days + static_cast<size_t>(day)] = 1;
    }

    // Nothing when the cadence is active on no day of the range.
    const char* find(const std::string& cadence) const {
        const auto it = m_index.find(cadence);
        return it == m_index.end() ? nullptr : m_masks.data() + it->second * m_days;
    }

private:
    size_t m_days;
    std::unordered_map<std::string, size_t> m_index;
    std::vector<char> m_masks;
};

// A period of a selected trip that overlaps the range: the trip's index and its cadence's index
// in the register (-1 when the register lacks it).
struct PeriodCadence {
    std::uint32_t trip = 0;
    std::int32_t cadence = -1;
};

} // namespace

// The nine steps of one run, reading through one connection and showing progress on its Ui.
class ServiceDayExtraction::Runner {
public:
    Runner(store::DatabaseConnection& connection, ServiceDayExtraction& extraction)
        : m_connection(connection)
        , m_ui(connection.ui())
        , m_extraction(extraction) {}

    bool run() {
        return loadCadences() && loadCalendar() &&
               loadIds(m_extraction.m_stops, kStepCaptions[2], "ID", "fermate") &&
               loadIds(m_extraction.m_routes, kStepCaptions[3], "ID", "itiner") &&
               loadIds(m_extraction.m_standards, kStepCaptions[4], "id", "tesstd") &&
               selectTrips() && resolveDays() && markCadences() && markNetwork();
    }

private:
    std::optional<std::int64_t> count(const Query& query) {
        QueryCursor cursor(m_connection);
        prepare(cursor, query, true);
        std::int32_t rows = 0;
        if (!cursor.Execute() || !cursor.GetLong(0, rows)) {
            return std::nullopt;
        }
        return rows;
    }

    // Counts the query's rows into the step's total, then hands each row to `row` in one pass.
    template <typename RowFunction>
    bool forEachRow(const Query& query, ui::RowProgress& progress, RowFunction&& row) {
        const auto rows = count(query);
        if (!rows) {
            return false;
        }
        progress.addRows(*rows);
        QueryCursor cursor(m_connection);
        prepare(cursor, query);
        for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
            row(cursor);
            progress.advance();
        }
        return !cursor.failed();
    }

    std::string isoFirst() const { return m_extraction.m_first.iso(); }

    std::string isoLast() const { return m_extraction.m_last.iso(); }

    // The day's index in the range, or nothing outside it.
    std::optional<std::int32_t> dayIndex(const Date& day) const {
        const long index = day.serial() - m_extraction.m_first.serial();
        if (index < 0 || index >= m_extraction.m_dayCount) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(index);
    }

    bool loadCadences() {
        ui::RowProgress progress(m_ui, kStepCaptions[0]);
        std::string code;
        const bool read =
            forEachRow({"codice", "cadenz", "", "codice", {}}, progress, [&](QueryCursor& cursor) {
                cursor.GetText("codice", code);
                m_extraction.m_cadences.push_back(code);
            });
        // Codes compare without trailing blanks, which can change their order.
        std::sort(m_extraction.m_cadences.begin(), m_extraction.m_cadences.end());
        m_extraction.m_cadences.erase(
            std::unique(m_extraction.m_cadences.begin(), m_extraction.m_cadences.end()),
            m_extraction.m_cadences.end());
        m_extraction.m_cadenceUsed.assign(m_extraction.m_cadences.size(), 0);
        return read;
    }

    bool loadCalendar() {
        ui::RowProgress progress(m_ui, kStepCaptions[1]);
        std::string date;
        const bool read = forEachRow(
            {"data, caden", "calend", "data >= ? AND data <= ?", "data", {isoFirst(), isoLast()}},
            progress,
            [&](QueryCursor& cursor) {
                cursor.GetDateText(0, date);
                const auto day = displayedDate(date);
                const auto index = day ? dayIndex(*day) : std::nullopt;
                if (!index) {
                    return;
                }
                CalendarRow row;
                row.day = *index;
                cursor.GetText("caden", row.cadence);
                row.registered = m_extraction.cadenceIndex(row.cadence);
                m_extraction.m_calendar.push_back(std::move(row));
            });
        std::sort(m_extraction.m_calendar.begin(),
                  m_extraction.m_calendar.end(),
                  [](const CalendarRow& a, const CalendarRow& b) {
                      return std::tie(a.day, a.cadence) < std::tie(b.day, b.cadence);
                  });
        return read;
    }

    bool loadIds(MarkedIds& ids,
                 std::string_view caption,
                 const std::string& column,
                 const std::string& table) {
        ui::RowProgress progress(m_ui, caption);
        const bool read =
            forEachRow({column, table, "", column, {}}, progress, [&](QueryCursor& cursor) {
                std::int32_t id = 0;
                if (cursor.GetLong(0, id)) {
                    ids.add(id);
                }
            });
        ids.seal();
        return read;
    }

    bool selectTrips() {
        ui::RowProgress progress(m_ui, kStepCaptions[5]);
        const SelectionFilters& filters = m_extraction.m_filters;
        Query query{"corse.id, corse.standard, corse.id_perc",
                    "corse, extcod",
                    "corse.id = extcod.id",
                    "corse.id",
                    {}};
        const auto restrict = [&](const std::optional<int>& value, std::string_view clause) {
            if (value) {
                query.where += clause;
                query.values.emplace_back(std::int64_t{*value});
            }
        };
        restrict(filters.lot, " AND extcod.lotto = ?");
        restrict(filters.authority, " AND corse.ente = ?");
        restrict(filters.company, " AND extcod.aziges = ?");
        restrict(filters.subcontractor, " AND extcod.azisub = ?");
        if (filters.line) {
            // Line codes compare without trailing blanks: the sibling product may have stored
            // some.
            query.where += " AND RTRIM(corse.codlinea, ' ') = ?";
            query.values.emplace_back(std::string(store::withoutTrailingBlanks(*filters.line)));
        }
        const bool read = forEachRow(query, progress, [&](QueryCursor& cursor) {
            SelectedTrip trip;
            cursor.GetLong(0, trip.id);
            cursor.GetLong(1, trip.standard);
            cursor.GetLong(2, trip.route);
            m_extraction.m_trips.push_back(trip);
        });
        if (!std::is_sorted(
                m_extraction.m_trips.begin(),
                m_extraction.m_trips.end(),
                [](const SelectedTrip& a, const SelectedTrip& b) { return a.id < b.id; })) {
            std::sort(m_extraction.m_trips.begin(),
                      m_extraction.m_trips.end(),
                      [](const SelectedTrip& a, const SelectedTrip& b) { return a.id < b.id; });
        }
        m_extraction.m_dayVectors.assign(
            m_extraction.m_trips.size() * static_cast<size_t>(m_extraction.m_dayCount), 'N');
        return read;
    }

    // A trip runs on a day of the range when a granting period of the trip covers the day and
    // its cadence is active on it in the calendar, and no withdrawing period does the same.
    // The granting periods are applied first and the withdrawing ones after them, so that
    // withdrawal wins whatever the order in which the periods are stored: a trip granted FER
    // from 01/09 to 30/06 and withdrawn FER from 24/12 to 06/01 does not run at Christmas even
    // when the withdrawal was entered first.
    //
    // The calendar of the range is already in memory (step 2), so each period is read once and
    // resolved against the mask of its cadence, instead of joining every period with every
    // calendar day it covers: 150,000 periods over a year would make that join some ten
    // million rows.
    bool resolveDays() {
        ui::RowProgress progress(m_ui, kStepCaptions[6]);
        const auto days = static_cast<size_t>(m_extraction.m_dayCount);
        CadenceMasks masks(m_extraction.m_dayCount);
        for (const CalendarRow& row : m_extraction.m_calendar) {
            masks.set(row.cadence, row.day);
        }
        std::unordered_map<std::string, std::int32_t> registered;
        const long first = m_extraction.m_first.serial();
        std::string code;
        std::string start;
        std::string end;
        const auto apply = [&](QueryCursor& cursor, char mark) {
            std::int32_t id = 0;
            cursor.GetLong(0, id);
            const SelectedTrip* trip = m_extraction.findTrip(id);
            if (trip == nullptr) {
                return;
            }
            const auto tripIndex = static_cast<std::uint32_t>(trip - m_extraction.m_trips.data());
            cursor.GetText("caden", code);
            auto known = registered.find(code);
            if (known == registered.end()) {
                known = registered.emplace(code, m_extraction.cadenceIndex(code)).first;
            }
            m_periodCadences.push_back({tripIndex, known->second});

            const char* mask = masks.find(code);
            cursor.GetDateText(2, start);
            cursor.GetDateText(3, end);
            const auto startDay = displayedDate(start);
            const auto endDay = displayedDate(end);
            if (mask == nullptr || !startDay || !endDay) {
                return;
            }
            const long from = std::max(startDay->serial() - first, 0L);
            const long to = std::min(endDay->serial() - first, static_cast<long>(days) - 1);
            char* vector = m_extraction.m_dayVectors.data() + tripIndex * days;
            for (long i = from; i <= to; ++i) {
                if (mask[i] != 0) {
                    vector[i] = mark;
                }
            }
        };

        // Both kinds of period in one count, so that the bar runs once over the step.
        Query periods{"period.id, period.caden, period.inizio, period.fine",
                      "period",
                      "period.inizio <= ? AND period.fine >= ?",
                      "period.id",
                      {isoLast(), isoFirst()}};
        const auto all = count(periods);
        if (!all) {
            return false;
        }
        progress.addRows(*all);
        const auto pass = [&](std::string_view condition, char mark) {
            Query query = periods;
            query.where = std::string(condition) + " AND " + periods.where;
            QueryCursor cursor(m_connection);
            prepare(cursor, query);
            for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
                apply(cursor, mark);
                progress.advance();
            }
            return !cursor.failed();
        };
        if (!pass("period.escluso = 0", 'S') || !pass("period.escluso <> 0", 'N')) {
            return false;
        }
        for (size_t i = 0; i < m_extraction.m_trips.size(); ++i) {
            m_extraction.m_trips[i].active =
                days > 0 &&
                std::memchr(m_extraction.m_dayVectors.data() + i * days, 'S', days) != nullptr;
        }
        return true;
    }

    // The cadences of the periods of active trips that overlap the range, withdrawing ones
    // included, are the communication's; its calendar is the range's rows of those cadences.
    bool markCadences() {
        ui::RowProgress progress(m_ui, kStepCaptions[7]);
        progress.addRows(
            static_cast<std::int64_t>(m_periodCadences.size() + m_extraction.m_calendar.size()));
        for (const PeriodCadence& period : m_periodCadences) {
            if (period.cadence >= 0 && m_extraction.m_trips[period.trip].active) {
                m_extraction.m_cadenceUsed[static_cast<size_t>(period.cadence)] = 1;
            }
            progress.advance();
        }
        for (CalendarRow& row : m_extraction.m_calendar) {
            row.used = row.registered >= 0 &&
                       m_extraction.m_cadenceUsed[static_cast<size_t>(row.registered)];
            progress.advance();
        }
        return true;
    }

    // An active trip brings its standard trip, its route and the stops along the route; a trip
    // whose route has no stops brings none of them, as joining trips with the stops of their
    // routes gives no row for it. The stops come from one pass over the stops of all routes
    // rather than from that join, which would read every stop once per trip: a million rows
    // for 50,000 trips on routes of 20 stops.
    bool markNetwork() {
        ui::RowProgress progress(m_ui, kStepCaptions[8]);
        std::vector<std::int32_t> routes;
        for (const SelectedTrip& trip : m_extraction.m_trips) {
            if (trip.active) {
                routes.push_back(trip.route);
            }
        }
        const auto activeTrips = static_cast<std::int64_t>(routes.size());
        std::sort(routes.begin(), routes.end());
        routes.erase(std::unique(routes.begin(), routes.end()), routes.end());
        std::vector<char> hasStops(routes.size(), 0);
        const auto routeIndex = [&](std::int32_t route) -> std::optional<size_t> {
            const auto it = std::lower_bound(routes.begin(), routes.end(), route);
            if (it == routes.end() || *it != route) {
                return std::nullopt;
            }
            return static_cast<size_t>(it - routes.begin());
        };

        progress.addRows(activeTrips);
        const bool read = forEachRow({"fermitin.ID, fermitin.fermata", "fermitin", "", "", {}},
                                     progress,
                                     [&](QueryCursor& cursor) {
                                         std::int32_t route = 0;
                                         std::int32_t stop = 0;
                                         cursor.GetLong(0, route);
                                         if (const auto index = routeIndex(route)) {
                                             hasStops[*index] = 1;
                                             if (cursor.GetLong(1, stop)) {
                                                 m_extraction.m_stops.mark(stop);
                                             }
                                         }
                                     });
        if (!read) {
            return false;
        }
        for (const SelectedTrip& trip : m_extraction.m_trips) {
            if (!trip.active) {
                continue;
            }
            if (hasStops[*routeIndex(trip.route)] != 0) {
                m_extraction.m_routes.mark(trip.route);
                m_extraction.m_standards.mark(trip.standard);
            }
            progress.advance();
        }
        return true;
    }

    store::DatabaseConnection& m_connection;
    ui::Ui& m_ui;
    ServiceDayExtraction& m_extraction;
    std::vector<PeriodCadence> m_periodCadences; // from step 7, read by step 8
};

ServiceDayExtraction::ServiceDayExtraction(const Date& first,
                                           const Date& last,
                                           const SelectionFilters& filters,
                                           const CommunicationFlags& flags)
    : m_first(first)
    , m_last(last)
    , m_dayCount(static_cast<int>(std::max(last.serial() - first.serial() + 1, 0L)))
    , m_filters(filters)
    , m_flags(flags) {}

std::optional<ServiceDayExtraction> ServiceDayExtraction::Run(store::DatabaseConnection& connection,
                                                              const Date& first,
                                                              const Date& last,
                                                              const SelectionFilters& filters,
                                                              const CommunicationFlags& flags) {
    ServiceDayExtraction extraction(first, last, filters, flags);
    const bool done = Runner(connection, extraction).run();
    connection.ui().Progress(-1);
    if (!done) {
        return std::nullopt;
    }
    return extraction;
}

std::string ServiceDayExtraction::startLiteral() const {
    return store::sqlQuote(m_first.iso());
}

std::string ServiceDayExtraction::endLiteral() const {
    return store::sqlQuote(m_last.iso());
}

std::string ServiceDayExtraction::clampDate(std::string_view date) const {
    const auto day = displayedDate(date);
    if (day && *day < m_first) {
        return startText();
    }
    if (day && *day > m_last) {
        return endText();
    }
    return std::string(date);
}

std::string_view ServiceDayExtraction::dayVector(std::int32_t tripId) const {
    const SelectedTrip* trip = findTrip(tripId);
    if (trip == nullptr) {
        return {};
    }
    const auto days = static_cast<size_t>(m_dayCount);
    return {m_dayVectors.data() + static_cast<size_t>(trip - m_trips.data()) * days, days};
}

bool ServiceDayExtraction::containsTrip(std::int32_t tripId) const {
    const SelectedTrip* trip = findTrip(tripId);
    return trip != nullptr && trip->active;
}

bool ServiceDayExtraction::containsStop(std::int32_t stopId) const {
    return m_stops.isMarked(stopId);
}

bool ServiceDayExtraction::containsRoute(std::int32_t routeId) const {
    return m_routes.isMarked(routeId);
}

bool ServiceDayExtraction::containsStandardTrip(std::int32_t standardId) const {
    return m_standards.isMarked(standardId);
}

bool ServiceDayExtraction::containsCadence(std::string_view code) const {
    const std::int32_t index = cadenceIndex(store::withoutTrailingBlanks(code));
    return index >= 0 && m_cadenceUsed[static_cast<size_t>(index)] != 0;
}

bool ServiceDayExtraction::containsCalendarDay(std::string_view date,
                                               std::string_view cadence) const {
    const auto day = displayedDate(date);
    if (!day || *day < m_first || *day > m_last) {
        return false;
    }
    const auto index = static_cast<std::int32_t>(day->serial() - m_first.serial());
    const std::string_view code = store::withoutTrailingBlanks(cadence);
    const auto it =
        std::lower_bound(m_calendar.begin(),
                         m_calendar.end(),
                         std::pair{index, code},
                         [](const CalendarRow& row, const auto& key) {
                             return std::pair{row.day, std::string_view(row.cadence)} < key;
                         });
    return it != m_calendar.end() && it->day == index && it->cadence == code && it->used;
}

std::int32_t ServiceDayExtraction::cadenceIndex(std::string_view code) const {
    const auto it = std::lower_bound(m_cadences.begin(), m_cadences.end(), code);
    if (it == m_cadences.end() || *it != code) {
        return -1;
    }
    return static_cast<std::int32_t>(it - m_cadences.begin());
}

const SelectedTrip* ServiceDayExtraction::findTrip(std::int32_t tripId) const {
    const auto it = std::lower_bound(
        m_trips.begin(), m_trips.end(), tripId, [](const SelectedTrip& trip, std::int32_t id) {
            return trip.id < id;
        });
    return it != m_trips.end() && it->id == tripId ? &*it : nullptr;
}

void ServiceDayExtraction::MarkedIds::seal() {
    std::sort(m_ids.begin(), m_ids.end());
    m_ids.erase(std::unique(m_ids.begin(), m_ids.end()), m_ids.end());
    m_marked.assign(m_ids.size(), 0);
}

bool ServiceDayExtraction::MarkedIds::mark(std::int32_t id) {
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    if (it == m_ids.end() || *it != id) {
        return false;
    }
    m_marked[static_cast<size_t>(it - m_ids.begin())] = 1;
    return true;
}

bool ServiceDayExtraction::MarkedIds::isMarked(std::int32_t id) const {
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    return it != m_ids.end() && *it == id && m_marked[static_cast<size_t>(it - m_ids.begin())];
}

} // namespace tramela::calendar
