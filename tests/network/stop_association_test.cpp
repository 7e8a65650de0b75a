#include "network/segment_grid.h"
#include "network/stop_association.h"

#include <cmath>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tramela::network {
namespace {

RegisterStop stopAt(std::int32_t id, double x, double y) {
    return {StopId{id}, fmt::format("S{:02d}", id), fmt::format("Fermata {}", id), Point{x, y}};
}

RoutePolyline line(std::vector<Point> vertices) {
    RoutePolyline polyline(std::move(vertices), Box{});
    polyline.RecomputeBox();
    return polyline;
}

// What an item says, for comparing lists of items.
using ItemKey = std::tuple<std::int32_t, double, int, bool, bool, bool, bool>;

std::vector<ItemKey> keys(const AnalysedRoute& route) {
    std::vector<ItemKey> out;
    for (const AssociationItem& item : route.items) {
        out.emplace_back(item.stop.value,
                         item.progressive,
                         item.segment,
                         item.inComposition,
                         item.onRightSide,
                         item.atTerminus,
                         item.compositionOnly);
    }
    return out;
}

// The items as the analysis defines them, measured with the polyline's own measures on the
// whole line and on its reversed copy, every stop against every route.
std::vector<std::vector<ItemKey>> literalItems(const std::vector<RoutePolyline>& routes,
                                               const std::vector<RegisterStop>& stops) {
    std::vector<std::vector<ItemKey>> items(routes.size());
    const auto rounded = [](double metres) { return std::round(metres * 100.0) / 100.0 + 0.0; };
    for (const RegisterStop& stop : stops) {
        for (std::size_t r = 0; r < routes.size(); ++r) {
            const RoutePolyline& polyline = routes[r];
            const RoutePolyline reversed = polyline.reversed();
            const NearestResult forward = polyline.NearestPoint(*stop.position);
            if (forward.distance < 40.0) {
                const ProgressiveResult at =
                    polyline.ProgressiveOf(forward.point, SegmentNumbering::FromStart);
                items[r].emplace_back(stop.id.value,
                                      rounded(at.progressive),
                                      at.segment,
                                      false,
                                      forward.distance == 0.0,
                                      false,
                                      false);
            }
            const NearestResult backward = reversed.NearestPoint(*stop.position);
            if (backward.distance < 40.0) {
                const ProgressiveResult at =
                    reversed.ProgressiveOf(backward.point, SegmentNumbering::FromEnd);
                items[r].emplace_back(stop.id.value,
                                      rounded(polyline.Length() - at.progressive),
                                      at.segment,
                                      false,
                                      backward.distance == 0.0,
                                      false,
                                      false);
            }
        }
    }
    return items;
}

// Random walks with straight, vertical and horizontal steps, some of them out along a street
// and back along it, and stops scattered around their vertices, some exactly on them: the grid
// must find every stop the whole-line measures find, at the same progressive and segment, in
// both directions, ties included.
TEST(StopAssociation, FindsWhatTheWholeLineMeasuresFindInBothDirections) {
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<RoutePolyline> routes;
    std::vector<RegisterStop> stops;
    for (int r = 0; r < 60; ++r) {
        std::vector<Point> v{{unit(random) * 3000.0, unit(random) * 3000.0}};
        double heading = unit(random) * 6.283;
        const int steps = 5 + static_cast<int>(unit(random) * 60);
        for (int k = 0; k < steps; ++k) {
            const double step = 5.0 + unit(random) * 120.0;
            const double kind = unit(random);
            Point next = v.back();
            if (kind < 0.15) {
                next.y += kind < 0.075 ? step : -step; // vertical
            } else if (kind < 0.3) {
                next.x += kind < 0.225 ? step : -step; // horizontal
            } else {
                heading += (unit(random) - 0.5) * 1.5;
                next = {next.x + step * std::cos(heading), next.y + step * std::sin(heading)};
            }
            v.push_back(next);
        }
        if (r % 5 == 0) {
            const std::vector<Point> out(v.begin(), v.end() - 1);
            v.insert(v.end(), out.rbegin(), out.rend());
        }
        for (std::size_t k = 0; k < v.size(); k += 3) {
            const auto id = static_cast<std::int32_t>(stops.size() + 1);
            if (k % 2 == 0) {
                stops.push_back(stopAt(id, v[k].x, v[k].y));
            } else {
                stops.push_back(stopAt(id,
                                       v[k].x + (unit(random) - 0.5) * 120.0,
                                       v[k].y + (unit(random) - 0.5) * 120.0));
            }
        }
        routes.push_back(line(std::move(v)));
    }
    // A damaged route: one vertex thousands of kilometres away puts its two long segments on
    // the grid's wide list, where they must still be found.
    routes.push_back(line({{100.0, 100.0}, {5.0e9, 100.0}, {100.0, 130.0}}));
    stops.push_back(stopAt(9000, 2000.0, 110.0));

    StopAssociation association;
    for (std::size_t r = 0; r < routes.size(); ++r) {
        association.addRoute(RouteId{static_cast<std::int32_t>(r + 1)}, "", "", routes[r]);
    }
    std::size_t reported = 0;
    association.findStops(stops, [&](std::size_t done) { reported = done; });
    EXPECT_EQ(reported, stops.size());

    const std::vector<std::vector<ItemKey>> expected = literalItems(routes, stops);
    std::size_t found = 0;
    for (std::size_t r = 0; r < routes.size(); ++r) {
        EXPECT_EQ(keys(association.routes()[r]), expected[r]) << "route " << r + 1;
        found += expected[r].size();
    }
    EXPECT_GT(found, stops.size()); // the comparison is not between empty lists
    EXPECT_FALSE(association.routes().back().items.empty());
}

TEST(SegmentGrid, FindsTheSegmentsWithinReachOrderedByLineAndSegment) {
    const std::vector<Point> a = {{0, 0}, {100, 0}, {100, 100}};
    const std::vector<Point> b = {{50, 45}, {50, 500}};
    const std::vector<Point> wide = {{0, -30}, {1.0e12, -30}};
    const std::vector<Point> broken = {{0, 0}, {std::nan(""), 0}};
    const std::vector<std::span<const Point>> lines = {a, b, wide, broken};
    const SegmentGrid grid(lines, 40.0);
    EXPECT_EQ(grid.wideCount(), 2u); // the straight of 10^12 m and the segment without a number

    std::vector<SegmentRef> near;
    grid.near({50, 5}, near);
    EXPECT_EQ(near, (std::vector<SegmentRef>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
    // 40 m from the box is within reach, 40.01 m is not.
    grid.near({140, 50}, near);
    EXPECT_EQ(near, (std::vector<SegmentRef>{{0, 2}, {3, 1}}));
    grid.near({140.01, 50}, near);
    EXPECT_EQ(near, (std::vector<SegmentRef>{{3, 1}}));
    // Far from everything; and a stop that is not a number is near nothing.
    grid.near({-5000, -5000}, near);
    EXPECT_EQ(near, (std::vector<SegmentRef>{{3, 1}}));
    grid.near({std::nan(""), 0}, near);
    EXPECT_EQ(near, std::vector<SegmentRef>{});
}

// A route east along y = 0 from (0, 0) to (1000, 0), and the same road driven west.
class SideOfTheRoad : public ::testing::Test {
protected:
    SideOfTheRoad() {
        association.addRoute(RouteId{1}, "EST", "Verso est", line({{0, 0}, {500, 0}, {1000, 0}}));
        association.addRoute(
            RouteId{2}, "OVEST", "Verso ovest", line({{1000, 0}, {500, 0}, {0, 0}}));
    }

    void analyse(const std::vector<RegisterStop>& stops,
                 const std::vector<std::tuple<int, int, double>>& composition) {
        association.findStops(stops);
        association.sortItems();
        for (const auto& [route, stop, geodist] : composition) {
            const RegisterStop* found = nullptr;
            for (const RegisterStop& s : stops) {
                found = s.id.value == stop ? &s : found;
            }
            association.addCompositionStop(RouteId{route}, *found, geodist);
        }
        association.settleSides();
    }

    std::vector<std::string> classes(int route) {
        std::vector<std::string> out;
        for (const AssociationItem& item : association.find(RouteId{route})->items) {
            out.push_back(
                fmt::format("{}@{} {}", item.stop.value, item.progressive, itemClass(item)));
        }
        return out;
    }

    StopAssociation association;
};

// Vehicles keep to the right: driving east the right is south. A stop 30 m south belongs to the
// eastbound route, 30 m north to the westbound; declared on the other route it is on the wrong
// side, and not declared it is absent though associable, or nothing at all on its wrong side.
TEST_F(SideOfTheRoad, AStopBelongsToTheDirectionWhoseRightItLiesOn) {
    analyse({stopAt(1, 300, -30), stopAt(2, 600, 30), stopAt(3, 700, 0), stopAt(4, 200, 39.99)},
            {{1, 1, 300}, {1, 2, 600}, {1, 3, 700}, {2, 2, 400}});
    EXPECT_EQ(classes(1),
              (std::vector<std::string>{
                  "4@200 ", "1@300 OK", "2@600 *** Presente; lato strada errato ***", "3@700 OK"}));
    EXPECT_EQ(classes(2),
              (std::vector<std::string>{"3@300 *** Assente; risulta associabile ***",
                                        "2@400 OK",
                                        "1@700 ",
                                        "4@800 *** Assente; risulta associabile ***"}));
}

// Within 40 m of either end a stop not declared is dropped, a declared one is marked and never
// called wrong; a declared stop 60 m from the line has no match; a stop found twice at the same
// place (from the start and from the end) is one item.
TEST_F(SideOfTheRoad, TerminusStopsAndStopsTooFarFromTheLine) {
    analyse({stopAt(1, 20, 25), stopAt(2, 990, 10), stopAt(3, 500, 60), stopAt(4, 250, -10)},
            {{1, 2, 990}, {1, 3, 500}, {2, 1, 980}});
    EXPECT_EQ(classes(1),
              (std::vector<std::string>{"4@250 *** Assente; risulta associabile ***",
                                        "3@500 *** Presente; non risulta associabile ***",
                                        "2@990 "}));
    const AssociationItem& end = association.find(RouteId{1})->items.back();
    EXPECT_TRUE(end.atTerminus && end.inComposition && !end.onRightSide);
    // The westbound route ends at (0, 0): stop 1 is its declared last stop, on its right.
    EXPECT_EQ(classes(2), (std::vector<std::string>{"4@750 ", "1@980 OK"}));
    EXPECT_TRUE(association.find(RouteId{2})->items[1].atTerminus);
}

// Out along a street and back along it: the stop on the south side is found on the way out
// (on the right) and on the way back (on the left). The composition names it once, near the
// return: the return's item is the declared one, so the route is served on the wrong side there
// and the stop is absent from the outward pass.
TEST(StopAssociation, ACompositionRowClaimsTheItemNearestItsProgressive) {
    StopAssociation association;
    association.addRoute(RouteId{5}, "AR", "Andata e ritorno", line({{0, 0}, {1000, 0}, {0, 0}}));
    const std::vector<RegisterStop> stops = {stopAt(1, 400, -20)};
    association.findStops(stops);
    association.sortItems();
    EXPECT_TRUE(association.addCompositionStop(RouteId{5}, stops[0], 1590.0));
    EXPECT_FALSE(association.addCompositionStop(RouteId{6}, stops[0], 10.0));
    association.settleSides();
    const std::vector<AssociationItem>& items = association.find(RouteId{5})->items;
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(itemClass(items[0]), "*** Assente; risulta associabile ***");
    EXPECT_EQ(items[0].progressive, 400.0);
    EXPECT_EQ(itemClass(items[1]), "*** Presente; lato strada errato ***");
    EXPECT_EQ(items[1].progressive, 1600.0);
}

} // namespace
} // namespace tramela::network
