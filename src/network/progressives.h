#pragma once

#include "network/route_set.h"

#include <optional>
#include <string>
#include <vector>

namespace tramela::network {

// How near a stop must lie to its route, metres: the check below wants a stop strictly nearer
// than this; a place along the route is a projection candidate of a stop when the stop is no
// farther than this from it.
inline constexpr double kStopReach = 40.0;

// True when every stop of the route lies less than 40 m from its line. With an error list every
// stop is examined and each one too far adds the line
// "Percorso ID=<route>/<sub> Fermata ID=<stop>; posizionamento palina > 40 metri dal percorso";
// without one the check ends at the first stop too far. A route without a polyline (or without
// a vertex) has no stop near it: every stop fails. A route without stops passes.
bool CheckStopsNearRoute(const RouteWithStops& route, std::vector<std::string>* errors);

// The foot of the perpendicular from p on the line through a and b, taken in slope-intercept
// form as the polyline's own measures take it (a vertical segment has the foot (x of the segment,
// y of p)), so that a stop projects here exactly where the nearest-point measures put it.
// nullopt when the foot falls outside the closed box of the segment.
std::optional<Point> footOnSegment(Point p, Point a, Point b);

// Sets the cartographic progressive (metres from the start of the route) of every stop: the
// first stop 0, the last the length of the polyline, every other stop the place where it first
// comes nearest the line beyond the stop before it. True when every progressive is determined
// and each exceeds the one before. A stop left undetermined gets 0 and the line
// "...; distanza progressiva non determinabile"; a stop not beyond the one before keeps its
// progressive and gets "...; distanza progressiva fuori sequenza" (both opened by
// "Percorso ID=<route>/<sub> Fermata ID=<stop>"), appended when an error list is given. The
// stops' candidate lists are emptied and their memory released.
//
// A route without a polyline, or whose polyline has no vertex, is left untouched: false, no line.
bool ComputeCartographicProgressives(RouteWithStops& route, std::vector<std::string>* errors);

} // namespace tramela::network
