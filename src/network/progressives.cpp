#include "network/progressives.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <optional>
#include <span>
#include <string_view>

namespace tramela::network {

namespace {

// Computed as the polyline's measures compute it, so that the candidate at the last vertex lies
// at exactly the polyline's length.
double distance(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

std::string stopLine(const RouteWithStops& route, const StopOnRoute& stop, std::string_view what) {
    return fmt::format(
        "Percorso ID={}/{} Fermata ID={}{}", route.id.value, stop.sub, stop.stop.value, what);
}

// One candidate per segment that comes within 40 m of the stop: the nearest of its start, its
// end and the foot of the perpendicular, the foot winning only when strictly nearer than both
// ends, the start only when strictly nearer than the end.
//
//              stop
//               |            candidate (acc + |F - A|, |stop - F|)
//   A --------- F ------- B
//   ^ acc metres from the start of the route
void collectCandidates(const RoutePolyline& polyline, StopOnRoute& stop) {
    const std::span<const Point> vertices = polyline.vertices();
    const Point s = stop.position;
    double acc = 0.0;
    for (std::size_t i = 1; i < vertices.size(); ++i) {
        const Point a = vertices[i - 1];
        const Point b = vertices[i];
        const double segment = distance(b, a);
        const double toA = distance(s, a);
        const double toB = distance(s, b);
        const std::optional<Point> foot = footOnSegment(s, a, b);
        const double toFoot = foot ? distance(s, *foot) : kNoDistance;
        if (!(toA > kStopReach && toB > kStopReach && toFoot > kStopReach)) {
            const double nearerEnd = toA < toB ? toA : toB;
            if (foot && nearerEnd > toFoot) {
                stop.candidates.push_back({acc + distance(*foot, a), toFoot});
            } else if (toA < toB) {
                stop.candidates.push_back({acc, toA});
            } else {
                stop.candidates.push_back({acc + segment, toB});
            }
        }
        acc += segment;
    }
}

// The first local minimum of the stop's distance along the route beyond `previous` (the
// progressive of the nearest earlier stop that has one). The walk ends as soon as the distance
// grows again; a nearer candidate replaces the chosen one only within 40 m further on. On a
// route that runs east along y = 0 and turns north at x = 100, a stop at (90, 25) first meets
// (90, 25 m away) and then (125, 10 m away): 125 is within 40 m of 90 and nearer, so the stop
// takes 125; a stop at (90, 35) meets (90, 35 m) and (135, 10 m), too far on, and keeps 90.
std::optional<double> chooseCandidate(std::span<const ProjectionCandidate> candidates,
                                      double previous) {
    double best = kNoDistance;
    std::optional<double> chosen;
    for (const ProjectionCandidate& candidate : candidates) {
        if (candidate.position <= previous) {
            continue;
        }
        if (candidate.distance > best) {
            break;
        }
        if (chosen && candidate.position > *chosen + kStopReach) {
            break;
        }
        if (candidate.distance < best) {
            best = candidate.distance;
            chosen = candidate.position;
        }
    }
    return chosen;
}

} // namespace

std::optional<Point> footOnSegment(Point p, Point a, Point b) {
    Point foot;
    if (b.x - a.x == 0.0) {
        foot = {b.x, p.y};
    } else {
        const double m = (b.y - a.y) / (b.x - a.x);
        const double q = a.y - m * a.x;
        const double d = m * m + 1.0;
        foot = {(p.x + m * p.y - m * q) / d, (m * p.x + m * m * p.y + q) / d};
    }
    if (std::min(a.x, b.x) <= foot.x && foot.x <= std::max(a.x, b.x) &&
        std::min(a.y, b.y) <= foot.y && foot.y <= std::max(a.y, b.y)) {
        return foot;
    }
    return std::nullopt;
}

bool CheckStopsNearRoute(const RouteWithStops& route, std::vector<std::string>* errors) {
    // Without a polyline every stop is as far as on a line without vertices: no distance at all.
    const RoutePolyline empty;
    const RoutePolyline& polyline = route.polyline ? *route.polyline : empty;
    bool near = true;
    for (const StopOnRoute& stop : route.stops) {
        const double d = polyline.DistanceToPoint(stop.position, 0);
        // Written so that a position that is not a number counts as far, not as near.
        if (d < kStopReach) {
            continue;
        }
        near = false;
        if (errors == nullptr) {
            break;
        }
        errors->push_back(stopLine(route, stop, "; posizionamento palina > 40 metri dal percorso"));
    }
    return near;
}

bool ComputeCartographicProgressives(RouteWithStops& route, std::vector<std::string>* errors) {
    if (!route.polyline || route.polyline->vertexCount() == 0) {
        return false;
    }
    const RoutePolyline& polyline = *route.polyline;
    std::vector<StopOnRoute>& stops = route.stops;
    if (stops.empty()) {
        return true;
    }

    // The middle stops start undetermined with fresh candidates, so that a route computed again
    // (after its stops or its line changed) keeps nothing of the previous computation.
    const std::size_t last = stops.size() - 1;
    for (std::size_t k = 1; k < last; ++k) {
        stops[k].progressive = kNoPosition;
        stops[k].candidates.clear();
        collectCandidates(polyline, stops[k]);
    }
    stops[last].progressive = polyline.Length();
    stops[0].progressive = 0.0; // a route of one stop: its only stop is the first

    double previous = 0.0;
    for (std::size_t k = 1; k < last; ++k) {
        if (const std::optional<double> chosen = chooseCandidate(stops[k].candidates, previous)) {
            stops[k].progressive = *chosen;
            previous = *chosen;
        }
    }

    bool result = true;
    double before = -1.0;
    for (StopOnRoute& stop : stops) {
        if (stop.progressive == kNoPosition) {
            stop.progressive = 0.0;
            result = false;
            if (errors != nullptr) {
                errors->push_back(
                    stopLine(route, stop, "; distanza progressiva non determinabile"));
            }
        } else if (before >= stop.progressive) {
            result = false;
            if (errors != nullptr) {
                errors->push_back(stopLine(route, stop, "; distanza progressiva fuori sequenza"));
            }
        }
        before = stop.progressive;
        std::vector<ProjectionCandidate>().swap(stop.candidates);
    }
    return result;
}

} // namespace tramela::network
