// NearestPoint of every stop against every route, as the association analysis asks it: 10,000
// stops against 1,000 routes of 500 vertices in a 20 km square. Most pairs are turned away by the
// proximity gate; the rest walk the route's segments.
#include "bench_util.h"
#include "network/route_polyline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace {

using tramela::network::Box;
using tramela::network::kNoDistance;
using tramela::network::Point;
using tramela::network::RoutePolyline;

constexpr double kSquare = 20000.0; // metres
constexpr int kRoutes = 1000;
constexpr int kVertices = 500;
constexpr int kStops = 10000;

// A route as a random walk: steps of 20 to 60 m, turning by at most 30 degrees at each vertex,
// bouncing off the edges of the square.
RoutePolyline randomWalk(std::mt19937_64& random) {
    std::uniform_real_distribution<double> position(0.0, kSquare);
    std::uniform_real_distribution<double> step(20.0, 60.0);
    std::uniform_real_distribution<double> turn(-std::numbers::pi / 6, std::numbers::pi / 6);
    std::uniform_real_distribution<double> heading(0.0, 2 * std::numbers::pi);
    std::vector<Point> vertices;
    vertices.reserve(kVertices);
    Point at{position(random), position(random)};
    double direction = heading(random);
    vertices.push_back(at);
    while (static_cast<int>(vertices.size()) < kVertices) {
        direction += turn(random);
        const double length = step(random);
        Point next{at.x + length * std::cos(direction), at.y + length * std::sin(direction)};
        if (next.x < 0 || next.x > kSquare) {
            direction = std::numbers::pi - direction;
            next.x = std::clamp(next.x, 0.0, kSquare);
        }
        if (next.y < 0 || next.y > kSquare) {
            direction = -direction;
            next.y = std::clamp(next.y, 0.0, kSquare);
        }
        vertices.push_back(next);
        at = next;
    }
    RoutePolyline route(std::move(vertices), Box{});
    route.RecomputeBox();
    return route;
}

// A stop beside a random segment of a random route, up to 30 m to either side.
Point stopNear(const std::vector<RoutePolyline>& routes, std::mt19937_64& random) {
    std::uniform_int_distribution<int> pickRoute(0, kRoutes - 1);
    std::uniform_int_distribution<int> pickSegment(1, kVertices - 1);
    std::uniform_real_distribution<double> along(0.0, 1.0);
    std::uniform_real_distribution<double> aside(-30.0, 30.0);
    const auto vertices = routes[static_cast<std::size_t>(pickRoute(random))].vertices();
    const auto i = static_cast<std::size_t>(pickSegment(random));
    const Point a = vertices[i - 1];
    const Point b = vertices[i];
    const double t = along(random);
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    const double offset = aside(random);
    return {a.x + t * dx - offset * dy / length, a.y + t * dy + offset * dx / length};
}

} // namespace

int main() {
    std::mt19937_64 random(20240301);
    std::vector<RoutePolyline> routes;
    routes.reserve(kRoutes);
    for (int r = 0; r < kRoutes; ++r) {
        routes.push_back(randomWalk(random));
    }
    std::vector<Point> stops;
    stops.reserve(kStops);
    for (int s = 0; s < kStops; ++s) {
        stops.push_back(stopNear(routes, random));
    }
    std::printf("workload: %d stops x %d routes of %d vertices, random walks in a %.0f km square\n",
                kStops,
                kRoutes,
                kVertices,
                kSquare / 1000);

    long found = 0;  // pairs that passed the gate and found a point
    long within = 0; // of those, nearer than 40 m
    double checksum = 0.0;
    const tramela::bench::Stopwatch watch;
    for (const Point& stop : stops) {
        for (const RoutePolyline& route : routes) {
            const auto nearest = route.NearestPoint(stop);
            if (nearest.distance != kNoDistance) {
                ++found;
                checksum +=
                    nearest.distance + (nearest.point.x - stop.x) - (nearest.point.y - stop.y);
                within += nearest.distance < 40.0 ? 1 : 0;
            }
        }
    }
    const double seconds = watch.seconds();
    const double pairs = static_cast<double>(kStops) * kRoutes;
    std::printf("through the gate: %ld of %.0f pairs (%.1f%%), within 40 m: %ld, checksum %.3f\n",
                found,
                pairs,
                100.0 * static_cast<double>(found) / pairs,
                within,
                checksum);
    tramela::bench::report("NearestPoint, 10000 stops x 1000 routes", seconds, pairs, "pairs");
    tramela::bench::report(
        "  segments walked", seconds, static_cast<double>(found) * (kVertices - 1), "segments");
    return 0;
}
