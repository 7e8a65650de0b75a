#include "network/progressives.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

RoutePolyline polylineOf(std::vector<Point> vertices) {
    RoutePolyline polyline(std::move(vertices), Box{});
    polyline.RecomputeBox();
    return polyline;
}

// Route 7 with its stops at the given places; stop k has sub k + 1 and ID 101 + k.
RouteWithStops routeOf(std::optional<RoutePolyline> polyline, std::vector<Point> places) {
    RouteWithStops route{RouteId{7}, std::move(polyline), {}};
    for (std::size_t k = 0; k < places.size(); ++k) {
        StopOnRoute stop;
        stop.sub = static_cast<std::int32_t>(k + 1);
        stop.stop = StopId{static_cast<std::int32_t>(101 + k)};
        stop.position = places[k];
        route.stops.push_back(stop);
    }
    return route;
}

std::vector<double> progressivesOf(const RouteWithStops& route) {
    std::vector<double> progressives;
    for (const StopOnRoute& stop : route.stops) {
        progressives.push_back(stop.progressive);
    }
    return progressives;
}

// 1000 m east along y = 0, with a vertex half-way.
RoutePolyline straight() {
    return polylineOf({{0, 0}, {500, 0}, {1000, 0}});
}

// 100 m east, then 100 m north.
RoutePolyline ell() {
    return polylineOf({{0, 0}, {100, 0}, {100, 100}});
}

TEST(Progressives, StopsBesideAStraightRouteTakeTheirDistanceAlong) {
    // The stop at (500, -20) is nearest the middle vertex, which both of its segments offer.
    RouteWithStops route =
        routeOf(straight(), {{0, 5}, {200, 10}, {500, -20}, {750, 30}, {1010, 3}});
    std::vector<std::string> errors;
    EXPECT_TRUE(CheckStopsNearRoute(route, &errors));
    EXPECT_TRUE(ComputeCartographicProgressives(route, &errors));
    EXPECT_EQ(progressivesOf(route), (std::vector<double>{0, 200, 500, 750, 1000}));
    EXPECT_TRUE(errors.empty());
    for (const StopOnRoute& stop : route.stops) {
        EXPECT_TRUE(stop.candidates.empty());
    }
}

TEST(Progressives, AStopBeyondReachIsReportedAndLeftAtZero) {
    // 50 m off: no candidate at all. Exactly 40 m off: too far for the check (it wants less than
    // 40), still a candidate (only beyond 40 is none), so the stop is placed.
    RouteWithStops route = routeOf(straight(), {{0, 0}, {300, 50}, {600, 40}, {1000, 0}});
    std::vector<std::string> errors;
    EXPECT_FALSE(CheckStopsNearRoute(route, &errors));
    EXPECT_FALSE(ComputeCartographicProgressives(route, &errors));
    EXPECT_EQ(progressivesOf(route), (std::vector<double>{0, 0, 600, 1000}));
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "Percorso ID=7/2 Fermata ID=102; posizionamento palina > 40 metri dal percorso",
                  "Percorso ID=7/3 Fermata ID=103; posizionamento palina > 40 metri dal percorso",
                  "Percorso ID=7/2 Fermata ID=102; distanza progressiva non determinabile",
              }));

    // Without a list the check stops at the first stop too far, with the same answer.
    EXPECT_FALSE(CheckStopsNearRoute(route, nullptr));
    EXPECT_TRUE(CheckStopsNearRoute(routeOf(straight(), {{0, 0}, {600, 39.5}}), nullptr));
}

TEST(Progressives, ALoopTakesTheFirstPassBeyondThePreviousStop) {
    // A narrow loop: out along y = 0, 20 m north, back along y = 20; length 2020.
    const RoutePolyline loop = polylineOf({{0, 0}, {1000, 0}, {1000, 20}, {0, 20}});

    // Nearer to the return leg, yet the outward pass is the first minimum.
    RouteWithStops once = routeOf(loop, {{0, 0}, {500, 12}, {0, 20}});
    EXPECT_TRUE(ComputeCartographicProgressives(once, nullptr));
    EXPECT_EQ(progressivesOf(once), (std::vector<double>{0, 500, 2020}));

    // After a stop at 800 on the way out, the same place is taken on the way back:
    // 1000 + 20 + 500.
    RouteWithStops twice = routeOf(loop, {{0, 0}, {800, 5}, {500, 8}, {0, 20}});
    EXPECT_TRUE(ComputeCartographicProgressives(twice, nullptr));
    EXPECT_EQ(progressivesOf(twice), (std::vector<double>{0, 800, 1520, 2020}));
}

TEST(Progressives, ANearerPlaceIsPreferredOnlyWithin40MetresFurtherOn) {
    // Off the corner of the L the stop meets the eastward leg at its foot (90, d) and then the
    // northward leg at (100, d), 10 m away, 100 + d along.
    const auto progressiveOf = [](Point stop) {
        RouteWithStops route = routeOf(ell(), {{0, 0}, stop, {100, 100}});
        EXPECT_TRUE(ComputeCartographicProgressives(route, nullptr));
        return route.stops[1].progressive;
    };
    EXPECT_EQ(progressiveOf({90, 25}), 125.0);  // 35 m further on
    EXPECT_EQ(progressiveOf({90, 30}), 130.0);  // exactly 40 m further on
    EXPECT_EQ(progressiveOf({90, 35}), 90.0);   // 45 m further on
    EXPECT_EQ(progressiveOf({120, 50}), 150.0); // beside the second leg only
}

TEST(Progressives, StopsOutOfSequenceAreReported) {
    // The third stop lies before the second: nothing beyond 700 is near it.
    RouteWithStops backwards = routeOf(straight(), {{0, 0}, {700, 5}, {300, 5}, {1000, 0}});
    std::vector<std::string> errors;
    EXPECT_FALSE(ComputeCartographicProgressives(backwards, &errors));
    EXPECT_EQ(progressivesOf(backwards), (std::vector<double>{0, 700, 0, 1000}));
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "Percorso ID=7/3 Fermata ID=103; distanza progressiva non determinabile"}));

    // Two middle stops on one place: the second finds nothing beyond the first.
    RouteWithStops twin = routeOf(straight(), {{0, 0}, {400, 5}, {400, 5}, {1000, 0}});
    errors.clear();
    EXPECT_FALSE(ComputeCartographicProgressives(twin, &errors));
    EXPECT_EQ(progressivesOf(twin), (std::vector<double>{0, 400, 0, 1000}));
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "Percorso ID=7/3 Fermata ID=103; distanza progressiva non determinabile"}));

    // A middle stop at the end of the line projects where the last stop is placed.
    RouteWithStops atTheEnd = routeOf(straight(), {{0, 0}, {1000, 10}, {1000, 0}});
    errors.clear();
    EXPECT_FALSE(ComputeCartographicProgressives(atTheEnd, &errors));
    EXPECT_EQ(progressivesOf(atTheEnd), (std::vector<double>{0, 1000, 1000}));
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "Percorso ID=7/3 Fermata ID=103; distanza progressiva fuori sequenza"}));
}

TEST(Progressives, ShortRoutesAndMissingGeometry) {
    RouteWithStops one = routeOf(straight(), {{400, 30}});
    EXPECT_TRUE(ComputeCartographicProgressives(one, nullptr));
    EXPECT_EQ(progressivesOf(one), (std::vector<double>{0}));

    // Two stops: the ends of the line, wherever the stops stand.
    RouteWithStops two = routeOf(straight(), {{300, 0}, {600, 0}});
    EXPECT_TRUE(ComputeCartographicProgressives(two, nullptr));
    EXPECT_EQ(progressivesOf(two), (std::vector<double>{0, 1000}));

    // No polyline, or one without vertices: false, nothing set, nothing reported by the
    // computation; the check finds no stop near a route that has no line.
    std::vector<std::string> errors;
    for (std::optional<RoutePolyline> polyline :
         {std::optional<RoutePolyline>{}, std::optional<RoutePolyline>{RoutePolyline{}}}) {
        RouteWithStops none = routeOf(polyline, {{0, 0}, {10, 0}});
        EXPECT_FALSE(ComputeCartographicProgressives(none, &errors));
        EXPECT_EQ(progressivesOf(none), (std::vector<double>{kNoPosition, kNoPosition}));
        EXPECT_TRUE(errors.empty());
        EXPECT_FALSE(CheckStopsNearRoute(none, nullptr));
    }
    EXPECT_FALSE(CheckStopsNearRoute(routeOf(std::nullopt, {{0, 0}, {10, 0}}), &errors));
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_TRUE(CheckStopsNearRoute(routeOf(std::nullopt, {}), nullptr));
}

TEST(Progressives, AComputationAgainKeepsNothingOfTheLastOne) {
    RouteWithStops route = routeOf(straight(), {{0, 0}, {200, 10}, {1000, 0}});
    EXPECT_TRUE(ComputeCartographicProgressives(route, nullptr));
    EXPECT_EQ(route.stops[1].progressive, 200.0);

    // Moved out of reach, the stop is no longer placed at its old progressive.
    route.stops[1].position = {200, 60};
    EXPECT_FALSE(ComputeCartographicProgressives(route, nullptr));
    EXPECT_EQ(progressivesOf(route), (std::vector<double>{0, 0, 1000}));
}

} // namespace
} // namespace tramela::network
