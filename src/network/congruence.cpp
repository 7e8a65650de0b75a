#include "network/congruence.h"

#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/value_text.h"
#include "ui/row_progress.h"

#include <cmath>
#include <fmt/format.h>
#include <limits>
#include <utility>

namespace tramela::network {

namespace {

constexpr std::int32_t kMinutesPerDay = 1440;

std::string trimmed(std::string text) {
    store::TrimTrailingBlanks(text);
    return text;
}

std::string textOf(store::QueryCursor& query, std::string_view column) {
    std::string text;
    query.GetText(column, text);
    return text;
}

std::int32_t minutesOf(std::int32_t clock) {
    return clock / 100 * 60 + clock % 100;
}

std::int32_t clockOf(std::int32_t minutes) {
    const std::int32_t time = minutes % kMinutesPerDay;
    return time / 60 * 100 + time % 60;
}

// The file holds progressives in whole metres, written from condist with its fraction dropped
// (1914.21 m is written 1914); a trip agrees with its route when it holds that same number.
bool sameProgressive(std::int32_t wholeMetres, double condist) {
    return static_cast<double>(wholeMetres) == std::trunc(condist);
}

bool stopsAgree(const TimetableStop& tripStop, const RouteDefinitionStop& routeStop) {
    return tripStop.sub == routeStop.sub &&
           sameProgressive(tripStop.progressive, routeStop.progressive) &&
           tripStop.code == routeStop.code && tripStop.name == routeStop.name &&
           tripStop.location == routeStop.location;
}

// The offset of a clock time from the trip's start m0, in minutes. A time of day earlier than the
// start is moved forward by whole days: a trip leaving at 23:50 reaches a stop at 00:10 twenty
// minutes later, offset 20.
std::int32_t offsetFrom(std::int32_t m0, std::int32_t clock) {
    std::int32_t minutes = minutesOf(clock);
    while (minutes < m0) {
        minutes += kMinutesPerDay;
    }
    return minutes - m0;
}

bool fitsTrip(const StandardTrip& standard, const TimetableTrip& trip, std::int32_t m0) {
    if (standard.rows.size() != trip.stops.size()) {
        return false;
    }
    const std::size_t last = trip.stops.size() - 1;
    for (std::size_t k = 0; k <= last; ++k) {
        const StandardTripRow& row = standard.rows[k];
        const TimetableStop& stop = trip.stops[k];
        if (k != 0 && clockOf(row.arrival + m0) != stop.arrival) {
            return false;
        }
        if (k != last && clockOf(row.departure + m0) != stop.departure) {
            return false;
        }
        if (row.passes != stop.passes) {
            return false;
        }
    }
    return true;
}

StandardTrip standardTripOf(StandardTripId id,
                            const RouteDefinition& route,
                            const TimetableTrip& trip,
                            std::int32_t m0) {
    StandardTrip standard{id, {}};
    const std::size_t last = trip.stops.size() - 1;
    for (std::size_t k = 0; k <= last; ++k) {
        const TimetableStop& stop = trip.stops[k];
        StandardTripRow row;
        row.sub = route.stops[k].sub;
        row.stop = route.stops[k].stop;
        row.arrival = k == 0 ? 0 : offsetFrom(m0, stop.arrival);
        row.departure = k == last ? row.arrival : offsetFrom(m0, stop.departure);
        row.passes = stop.passes;
        standard.rows.push_back(row);
    }
    return standard;
}

} // namespace

bool RouteDefinitions::Load(store::DatabaseConnection& connection) {
    m_routes.clear();
    m_byCode.clear();
    m_byId.clear();
    ui::Ui& ui = connection.ui();
    constexpr std::string_view kFrom = "itiner, fermitin, fermate";
    constexpr std::string_view kWhere = "fermitin.ID = itiner.ID AND fermate.ID = fermitin.fermata";

    std::int32_t total = 0;
    {
        store::QueryCursor count(connection);
        count.SetSelect("COUNT(*)");
        count.SetFrom(kFrom);
        count.SetWhere(kWhere);
        if (!count.Execute()) {
            return false;
        }
        count.GetLong(0, total);
    }
    ui::RowProgress progress(ui, kRouteLoadCaption, total);

    store::QueryCursor query(connection);
    query.SetSelect("itiner.ID, itiner.codperc, itiner.conlung, fermitin.sub, fermitin.fermata,"
                    " fermitin.condist, fermate.fermata AS codfermata, fermate.denom AS denfermata,"
                    " fermate.ubicaz AS ubifermata");
    query.SetFrom(kFrom);
    query.SetWhere(kWhere);
    query.SetOrderBy("itiner.ID, fermitin.sub");
    RouteDefinition* route = nullptr;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        progress.advance();
        std::int32_t id = 0;
        if (!query.GetLong(0, id)) {
            continue; // an ID beyond 32 bits names no route a trip can use
        }
        if (route == nullptr || route->id.value != id) {
            RouteDefinition next;
            next.id = RouteId{id};
            next.code = textOf(query, "codperc");
            query.GetDouble(2, next.length);
            append(std::move(next));
            route = &m_routes.back();
        }
        RouteDefinitionStop stop;
        std::int16_t sub = 0;
        query.GetShort(3, sub);
        stop.sub = sub;
        query.GetLong(4, stop.stop.value);
        query.GetDouble(5, stop.progressive);
        stop.code = textOf(query, "codfermata");
        stop.name = textOf(query, "denfermata");
        stop.location = textOf(query, "ubifermata");
        route->stops.push_back(std::move(stop));
    }
    progress.finish();
    return !query.failed();
}

void RouteDefinitions::append(RouteDefinition route) {
    const std::size_t position = m_routes.size();
    m_byCode.try_emplace(trimmed(route.code), position);
    m_byId.try_emplace(route.id, position);
    m_routes.push_back(std::move(route));
}

RouteDefinition* RouteDefinitions::find(std::string_view code) {
    const auto found = m_byCode.find(trimmed(std::string(code)));
    return found == m_byCode.end() ? nullptr : &m_routes[found->second];
}

RouteDefinition* RouteDefinitions::find(RouteId id) {
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : &m_routes[found->second];
}

std::vector<std::string> CongruenceResult::reportLines() const {
    std::vector<std::string> lines;
    lines.reserve(errors.size() + 1);
    lines.emplace_back(kCongruenceHeading);
    lines.insert(lines.end(), errors.begin(), errors.end());
    return lines;
}

CongruenceResult
CheckCongruence(ui::Ui& ui, RouteDefinitions& routes, std::vector<TimetableTrip>& trips) {
    CongruenceResult result;
    ui::RowProgress progress(ui, kCongruenceCaption, trips.size());
    for (TimetableTrip& trip : trips) {
        progress.advance();
        RouteDefinition* route = routes.find(trip.routeCode);
        if (route == nullptr) {
            result.errors.push_back(
                fmt::format("La corsa ID={} richiama il percorso [{}] che non risulta definito",
                            trip.id.value,
                            trip.routeCode));
            trip.valid = false;
            continue;
        }
        if (trip.stops.size() != route->stops.size()) {
            result.errors.push_back(fmt::format(
                "La corsa ID={} presenta {} fermate; il percorso [{}] presenta {} fermate",
                trip.id.value,
                trip.stops.size(),
                trip.routeCode,
                route->stops.size()));
            trip.valid = false;
            continue;
        }
        bool agrees = true;
        for (std::size_t k = 0; k < trip.stops.size(); ++k) {
            TimetableStop& tripStop = trip.stops[k];
            const RouteDefinitionStop& routeStop = route->stops[k];
            if (stopsAgree(tripStop, routeStop)) {
                tripStop.stop = routeStop.stop;
                tripStop.routeProgressive = routeStop.progressive;
            } else {
                result.errors.push_back(
                    fmt::format("Corsa ID={} sub={}; attributi fermata differiscono dal percorso "
                                "associato",
                                trip.id.value,
                                tripStop.sub));
                agrees = false;
            }
        }
        if (!agrees) {
            trip.valid = false;
        }
        if (!trip.valid) {
            continue;
        }
        // Only a trip that will be stored marks its stops: a stop that no stored trip passes
        // keeps both flags false.
        for (std::size_t k = 0; k < trip.stops.size(); ++k) {
            route->stops[k].primary = trip.stops[k].primary;
            route->stops[k].optional = trip.stops[k].optional;
        }
        ++result.validTrips;
    }
    progress.finish();
    return result;
}

CongruenceOutcome AskCongruenceOutcome(ui::Ui& ui, const CongruenceResult& result) {
    if (result.errors.empty()) {
        return {true, false};
    }
    std::string text;
    if (result.validTrips > 0) {
        text = fmt::format(
            "ATTENZIONE: alcuni orari corsa non si adattano ai percorsi già definiti.\n\n"
            "Tuttavia esistono {} corse con orari perfettamente validi\n\n"
            "L'acquisizione dati proseguirà ignorando le corse non convalidate.\n\n"
            "Vuoi salvare il report analitico degli errori ?",
            result.validTrips);
    } else {
        text = "ATTENZIONE: gli orari corsa non si adattano ai percorsi già definiti.\n"
               "L'acquisizione dati risulta quindi impossibile.\n\n"
               "Vuoi salvare il report analitico degli errori ?";
    }
    const bool save = ui.Confirm(
        {std::string(kCongruenceReportKey), ui::QuestionKind::Offer}, text, ui::Icon::Stop);
    return {result.validTrips > 0, save};
}

std::optional<StandardTripId> NextStandardTripId(store::DatabaseConnection& connection) {
    store::QueryCursor query(connection);
    query.SetSelect("MAX(ID)");
    query.SetFrom("tesstd");
    if (!query.Execute()) {
        return std::nullopt;
    }
    std::int32_t highest = 0;
    if (!query.GetLong(0, highest)) {
        // Null: no standard trip yet. A value beyond 32 bits leaves no identifier to give.
        std::string stored;
        query.GetText("MAX(ID)", stored);
        if (!stored.empty()) {
            connection.ui().Message(
                fmt::format("Identificativo corsa standard fuori limite: {}", stored),
                ui::Icon::Stop);
            return std::nullopt;
        }
        return StandardTripId{0};
    }
    if (highest == std::numeric_limits<std::int32_t>::max()) {
        connection.ui().Message(
            fmt::format("Identificativo corsa standard fuori limite: {}", highest), ui::Icon::Stop);
        return std::nullopt;
    }
    return StandardTripId{highest < 0 ? 0 : highest + 1};
}

std::size_t IdentifyStandardTrips(ui::Ui& ui,
                                  RouteDefinitions& routes,
                                  std::vector<TimetableTrip>& trips,
                                  StandardTripId& next) {
    std::size_t created = 0;
    ui::RowProgress progress(ui, kIdentificationCaption, trips.size());
    for (TimetableTrip& trip : trips) {
        progress.advance();
        if (!trip.valid || trip.stops.empty()) {
            continue;
        }
        RouteDefinition* route = routes.find(trip.routeCode);
        if (route == nullptr || route->stops.size() != trip.stops.size()) {
            continue; // not a trip the congruence check let through
        }
        const std::int32_t m0 = minutesOf(trip.stops.front().departure);
        trip.route = route->id;
        const StandardTrip* shared = nullptr;
        for (const StandardTrip& standard : route->standardTrips) {
            if (fitsTrip(standard, trip, m0)) {
                shared = &standard;
                break;
            }
        }
        if (shared == nullptr) {
            route->standardTrips.push_back(standardTripOf(next, *route, trip, m0));
            shared = &route->standardTrips.back();
            ++next.value;
            ++created;
        }
        trip.standard = shared->id;
    }
    progress.finish();
    return created;
}

StandardTripCounts StoreStandardTrips(store::DatabaseConnection& connection,
                                      const RouteDefinitions& routes) {
    StandardTripCounts counts;
    std::size_t total = 0;
    for (const RouteDefinition& route : routes.routes()) {
        for (const StandardTrip& standard : route.standardTrips) {
            total += 1 + standard.rows.size();
        }
    }
    ui::RowProgress progress(connection.ui(), kStandardStoreCaption, total);
    store::TableCursor headers(&connection, "tesstd");
    store::TableCursor details(&connection, "detstd");
    for (const RouteDefinition& route : routes.routes()) {
        for (const StandardTrip& standard : route.standardTrips) {
            progress.advance();
            const std::string id = std::to_string(standard.id.value);
            const bool added = headers.AddNew() && headers.SetField("ID", id) &&
                               headers.SetField("id_perc", std::to_string(route.id.value)) &&
                               headers.Update();
            if (added) {
                ++counts.headers;
            }
            for (const StandardTripRow& row : standard.rows) {
                progress.advance();
                if (added && details.AddNew() && details.SetField("ID", id) &&
                    details.SetField("sub", std::to_string(row.sub)) &&
                    details.SetField("fermata", std::to_string(row.stop.value)) &&
                    details.SetField("arriva", std::to_string(row.arrival)) &&
                    details.SetField("parte", std::to_string(row.departure)) &&
                    details.SetField("nonferma", row.passes ? "1" : "0") &&
                    details.SetField("fisso", "0") && details.Update()) {
                    ++counts.rows;
                }
            }
        }
    }
    progress.finish();
    return counts;
}

} // namespace tramela::network
