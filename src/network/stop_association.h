#pragma once

#include "network/route_polyline.h"
#include "network/route_set.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace tramela::network {

// How near the line a stop must lie to be associated with a route, and how near a terminus a
// stop is taken for a terminus stop, metres (strictly below).
inline constexpr double kAssociationReach = 40.0;

// Metres rounded to 2 decimals (a centimetre), as progressives are kept; never -0.
double RoundToCentimetres(double metres);

// A stop of the register as the association reads it.
struct RegisterStop {
    StopId id;
    std::string code;              // fermate.fermata, trailing blanks removed
    std::string name;              // fermate.denom, trailing blanks removed
    std::optional<Point> position; // absent: the stop has no coordinates
};

// A stop found near a route's line or declared in its composition.
struct AssociationItem {
    double progressive = 0.0; // metres from the start of the route, 2 decimals
    StopId stop;
    std::string code;
    std::string name;
    std::optional<Point> position;
    // The end vertex of the segment of the route's polyline that holds the projection; -1 for a
    // stop that comes from the composition alone.
    int segment = -1;
    bool inComposition = false;   // E: the stop is in the route's composition (fermitin)
    bool onRightSide = false;     // V: the stop lies on the line or on its right
    bool atTerminus = false;      // C: the stop lies within 40 m of the route's start or end
    bool compositionOnly = false; // F: declared in the composition, not found near the line
};

// A route with a sound geometry and the stops associated with it, in progressive order.
struct AnalysedRoute {
    RouteId id;
    std::string code; // itiner.codperc
    std::string name; // itiner.denom
    RoutePolyline polyline;
    double length = 0.0; // metres, the polyline's length
    std::vector<AssociationItem> items;

    // The measures of the line walked from its end (its reversed copy): the copy's box, widened
    // by the vertices, and for each vertex i the metres from the end of the route to it, summed
    // segment by segment from the end as the copy's own measures sum them.
    Box reversedBox;
    std::vector<double> fromEnd;
    // For each vertex i, the metres from the start to it, summed segment by segment.
    std::vector<double> fromStart;
};

// The association of the stop register with the routes: the stops near each route's line in
// either direction of travel, compared with the route's composition and with the side of the
// road on which they lie. The steps run in the order of the member functions below.
class StopAssociation {
public:
    // Appends a route; a route with fewer than two vertices is kept but finds no stop.
    AnalysedRoute& addRoute(RouteId id, std::string code, std::string name, RoutePolyline polyline);

    // For every stop with coordinates and every route: the nearest point of the line measured
    // from the start and, again, from the end (the reversed line), each within 40 m adding an
    // item at its progressive. Stops without coordinates are skipped. `stopDone` is told after
    // each stop, for a progress bar.
    void findStops(std::span<const RegisterStop> stops,
                   const std::function<void(std::size_t stopsDone)>& stopDone = {});

    // Sorts each route's items by progressive and removes every later item of the same stop at
    // the same progressive. `routeDone` is told after each route.
    void sortItems(const std::function<void(std::size_t routesDone)>& routeDone = {});

    // One row of a composition: marks the route's item of the stop as in the composition, or
    // adds one from the composition alone at `geodist` (metres, its cartographic progressive).
    // Of several items of the stop (a route that passes it twice) the row takes one not yet
    // declared, the nearest to `geodist`. False when the route is not analysed (no sound
    // geometry).
    bool addCompositionStop(RouteId route, const RegisterStop& stop, double geodist);

    // Removes the stops near a terminus that are not in the composition, marks those that are,
    // and settles the side of the road of every item found near the line. `routeDone` is told
    // after each route.
    void settleSides(const std::function<void(std::size_t routesDone)>& routeDone = {});

    std::vector<AnalysedRoute>& routes() { return m_routes; }

    const std::vector<AnalysedRoute>& routes() const { return m_routes; }

    AnalysedRoute* find(RouteId id);

private:
    std::vector<AnalysedRoute> m_routes;
    std::unordered_map<RouteId, std::size_t> m_byId; // the first route of each id
};

// Which item lines a report holds besides those of the full report.
struct ReportChoices {
    bool full = false;   // every route, every item with a class
    bool absent = false; // "*** Assente; risulta associabile ***"
    bool wrong = false;  // "*** Presente; non risulta associabile ***", "*** Presente; lato ..."
};

// The class of an item as the report writes it; empty for an item that has no line.
std::string itemClass(const AssociationItem& item);

// Whether a route has an item declared but not found, found but not declared, or declared on
// the wrong side.
bool hasAnomaly(const AnalysedRoute& route);

// The report's lines after its header, UTF-8: for each route in order that the report shows, an
// empty line, "Percorso ID=<id> <code>-<name>" and one line per item the choices keep.
std::vector<std::string> reportLines(std::span<const AnalysedRoute> routes,
                                     const ReportChoices& choices);

} // namespace tramela::network
