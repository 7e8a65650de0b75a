#pragma once

#include "network/route_set.h"
#include "store/database_connection.h"
#include "ui/ui.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tramela::network {

using TripId = Id<struct TripTag>;                 // corse.ID
using StandardTripId = Id<struct StandardTripTag>; // tesstd.ID, detstd.ID, corse.standard

inline constexpr std::string_view kRouteLoadCaption = "Recupero Definizioni Percorsi";
inline constexpr std::string_view kCongruenceCaption = "Verifica Congruenza Percorsi ed Orari";
inline constexpr std::string_view kIdentificationCaption = "Identificazione Corse Standard";
inline constexpr std::string_view kStandardStoreCaption = "Registrazione Corse Standard";
// The first line of the congruence report, above its error lines.
inline constexpr std::string_view kCongruenceHeading =
    "*** Verifica Congruenza Percorsi ed Orari ***";

// One stop of a timetable trip as read from the file; times are clock times hours × 100 +
// minutes (735 is 07:35), 9999 where the file has none.
struct TimetableStop {
    std::int32_t sub = 0;
    std::string code;             // stop code, trailing blanks removed
    std::string name;             // trailing blanks removed
    std::string location;         // trailing blanks removed
    std::int32_t progressive = 0; // whole metres from the start of the route
    std::int32_t arrival = 9999;
    std::int32_t departure = 9999;
    bool primary = false;
    bool optional = false;
    bool passes = false; // passed without stopping

    // Set by the congruence check when the stop agrees with its route's stop.
    std::optional<StopId> stop;
    double routeProgressive = 0.0; // fermitin.condist, metres
};

// A trip of a timetable with its stops in file order.
struct TimetableTrip {
    TripId id;
    std::string routeCode; // trailing blanks removed
    std::vector<TimetableStop> stops;
    bool valid = true; // cleared by a failed congruence check; invalid trips are not stored

    // Set by the standard-trip identification for a valid trip.
    std::optional<RouteId> route;
    std::optional<StandardTripId> standard;
};

// A stop of a route's composition as the timetable is compared with it.
struct RouteDefinitionStop {
    std::int32_t sub = 0;
    StopId stop;
    double progressive = 0.0; // fermitin.condist, metres
    std::string code;         // fermate.fermata
    std::string name;         // fermate.denom
    std::string location;     // fermate.ubicaz
    // The flags of the last valid trip (in reading order) that passes this stop; false when none.
    bool primary = false;
    bool optional = false;
};

// One row of a standard trip: offsets are minutes after the trip's start.
struct StandardTripRow {
    std::int32_t sub = 0;
    StopId stop;
    std::int32_t arrival = 0;
    std::int32_t departure = 0;
    bool passes = false;
};

struct StandardTrip {
    StandardTripId id;
    std::vector<StandardTripRow> rows; // one per route stop, in sub order
};

// A route of the database with its stops and the standard trips created for it in this run.
struct RouteDefinition {
    RouteId id;
    std::string code;                        // itiner.codperc, trailing blanks removed
    double length = 0.0;                     // itiner.conlung, metres
    std::vector<RouteDefinitionStop> stops;  // ascending sub
    std::vector<StandardTrip> standardTrips; // in creation order
};

// The routes of the database loaded in one sorted read, found by code or by identifier.
class RouteDefinitions {
public:
    // Replaces the content with every route that has stops, in ascending ID order, showing the
    // caption "Recupero Definizioni Percorsi" and its progress. False (the store has shown why)
    // when the read failed; the routes read until then are kept.
    bool Load(store::DatabaseConnection& connection);
    void append(RouteDefinition route);

    // The route of this code (compared without trailing blanks); of several routes with one
    // code, the lowest ID. nullptr when there is none.
    RouteDefinition* find(std::string_view code);
    RouteDefinition* find(RouteId id);

    std::vector<RouteDefinition>& routes() { return m_routes; }

    const std::vector<RouteDefinition>& routes() const { return m_routes; }

private:
    std::vector<RouteDefinition> m_routes;
    std::unordered_map<std::string, std::size_t> m_byCode;
    std::unordered_map<RouteId, std::size_t> m_byId;
};

// What the congruence check found.
struct CongruenceResult {
    std::vector<std::string> errors; // in trip order, without the heading
    long validTrips = 0;

    // The heading followed by the error lines, for the import's error report.
    std::vector<std::string> reportLines() const;
};

// Compares every trip, in order, with the route its code names; showing the caption "Verifica
// Congruenza Percorsi ed Orari" and its progress. A trip whose route is unknown, whose number of
// stops differs from the route's, or one of whose stops differs from the route's stop in the same
// position (sub, progressive, code, name or location) gets its lines and becomes invalid. The
// stops of a trip that passes take their route stop's ID and progressive, and the route stops
// take the trip stops' primary and optional flags. A trip already invalid is checked all the same
// and stays invalid.
CongruenceResult
CheckCongruence(ui::Ui& ui, RouteDefinitions& routes, std::vector<TimetableTrip>& trips);

// How the import goes on after the check.
struct CongruenceOutcome {
    bool proceed = false;    // false: the import stops, no trip is valid
    bool saveReport = false; // the user asked for the error report
};

// The key of the offer of the congruence report, distinct from the import's own error report.
inline constexpr std::string_view kCongruenceReportKey = "congruence-report";

// Without errors the import goes on without asking. With errors it offers (stop icon, OK/Cancel;
// the question kCongruenceReportKey) to save the error report, telling whether the import goes
// on with the valid trips or cannot go on at all.
CongruenceOutcome AskCongruenceOutcome(ui::Ui& ui, const CongruenceResult& result);

// The identifier after the highest one in tesstd, 0 when the table is empty; nullopt (the store
// has shown why) when it could not be read or when no identifier is left.
std::optional<StandardTripId> NextStandardTripId(store::DatabaseConnection& connection);

// Gives every valid trip, in order, its route and a standard trip: the first one created on its
// route that gives the same clock times and passing flags at every stop (the arrival at the first
// stop and the departure from the last are not compared), or a new one numbered from `next`
// onwards. Shows the caption "Identificazione Corse Standard" and its progress. Returns the
// number of standard trips created; `next` ends after the last identifier given.
std::size_t IdentifyStandardTrips(ui::Ui& ui,
                                  RouteDefinitions& routes,
                                  std::vector<TimetableTrip>& trips,
                                  StandardTripId& next);

struct StandardTripCounts {
    long headers = 0; // tesstd rows added
    long rows = 0;    // detstd rows added
};

// Writes the standard trips of every route: a tesstd row each and, when it is accepted, its
// detstd rows (fisso false). Rows the store refuses are shown by it and not counted. Shows the
// caption "Registrazione Corse Standard" and its progress per row. The caller brackets the
// writes in its transaction.
StandardTripCounts StoreStandardTrips(store::DatabaseConnection& connection,
                                      const RouteDefinitions& routes);

} // namespace tramela::network
