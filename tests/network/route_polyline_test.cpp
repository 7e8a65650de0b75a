#include "network/route_polyline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace tramela::network {
namespace {

RoutePolyline polylineOf(std::vector<Point> vertices) {
    RoutePolyline polyline(std::move(vertices), Box{});
    polyline.RecomputeBox();
    return polyline;
}

// An L: 100 m east, then 100 m north.
//
//            (100,100)
//               |
//   (0,0) ---- (100,0)
RoutePolyline ell() {
    return polylineOf({{0, 0}, {100, 0}, {100, 100}});
}

TEST(RoutePolyline, VerticesAndBoxFollowTheirOperations) {
    RoutePolyline polyline(3);
    EXPECT_EQ(polyline.vertexCount(), 3);
    EXPECT_EQ(polyline.GetVertex(2), (Point{0, 0}));
    EXPECT_EQ(polyline.box(),
              (Box{1.7976931348623157e308,
                   1.7976931348623157e308,
                   -1.7976931348623157e308,
                   -1.7976931348623157e308}));

    // Setting widens the box by the vertex alone; the zeroed vertices are not in it yet.
    polyline.SetVertex(1, 5, -2);
    EXPECT_EQ(polyline.box(), (Box{5, -2, 5, -2}));
    polyline.SetVertex(3, 50, 50);
    polyline.SetVertex(-1, 50, 50);
    EXPECT_EQ(polyline.box(), (Box{5, -2, 5, -2}));
    EXPECT_EQ(polyline.GetVertex(3), std::nullopt);
    EXPECT_EQ(polyline.GetVertex(-1), std::nullopt);
    polyline.RecomputeBox();
    EXPECT_EQ(polyline.box(), (Box{0, -2, 5, 0}));

    EXPECT_EQ(RoutePolyline(-2).vertexCount(), 0);

    // An adopted box is kept as given, and the gate measures against it.
    const RoutePolyline stored({{0, 0}, {100, 0}}, Box{0, 0, 10, 10});
    EXPECT_EQ(stored.box(), (Box{0, 0, 10, 10}));
    EXPECT_EQ(stored.NearestPoint({100, 5}).distance, 5.0);
    EXPECT_EQ(stored.NearestPoint({150, 5}).distance, kNoDistance);
}

TEST(RoutePolyline, LengthAndDistanceToStart) {
    EXPECT_EQ(ell().Length(), 200.0);
    EXPECT_EQ(polylineOf({{0, 0}, {3, 4}, {3, 4}}).Length(), 5.0);
    EXPECT_EQ(polylineOf({{7, 7}}).Length(), 0.0);
    EXPECT_EQ(RoutePolyline().Length(), 0.0);

    const NearestResult start = ell().DistanceToStart({3, 4});
    EXPECT_EQ(start.distance, 5.0);
    EXPECT_EQ(start.point, (Point{0, 0}));
    EXPECT_EQ(RoutePolyline().DistanceToStart({3, 4}).distance, kNoDistance);
}

TEST(RoutePolyline, NearestPointTakesFeetAndSegmentEnds) {
    const RoutePolyline route = ell();
    // The foot on the first segment.
    NearestResult nearest = route.NearestPoint({50, 10});
    EXPECT_EQ(nearest.distance, 10.0);
    EXPECT_EQ(nearest.point, (Point{50, 0}));
    // The vertical segment: its foot is (x of the segment, y of the point).
    nearest = route.NearestPoint({90, 50});
    EXPECT_EQ(nearest.distance, 10.0);
    EXPECT_EQ(nearest.point, (Point{100, 50}));
    // A sloping segment: y = x - 10 from (10,0) to (30,20); the foot of (30,0) is (20,10).
    nearest = polylineOf({{10, 0}, {30, 20}}).NearestPoint({30, 0});
    EXPECT_DOUBLE_EQ(nearest.distance, std::sqrt(200.0));
    EXPECT_DOUBLE_EQ(nearest.point.x, 20.0);
    EXPECT_DOUBLE_EQ(nearest.point.y, 10.0);
}

TEST(RoutePolyline, NearestPointNeverOffersTheFirstVertexAndKeepsTheEarlierOfEqualCandidates) {
    // Beyond the start of a straight line the foot is off the segment: the answer is the second
    // vertex, 110 m away, though the first lies 10 m away.
    const NearestResult beyondStart = polylineOf({{0, 0}, {100, 0}}).NearestPoint({-10, 0});
    EXPECT_EQ(beyondStart.distance, 110.0);
    EXPECT_EQ(beyondStart.point, (Point{100, 0}));

    // A V whose two feet lie at the same distance: the earlier segment's foot stays.
    //   (0,10)       (10,10)       (20,10)
    //        (5,5)           (15,5)
    //               (10,0)
    const NearestResult tie = polylineOf({{0, 10}, {10, 0}, {20, 10}}).NearestPoint({10, 10});
    EXPECT_DOUBLE_EQ(tie.distance, std::sqrt(50.0));
    EXPECT_EQ(tie.point, (Point{5, 5}));

    // A foot on the first segment and the last vertex, both 10 m from the origin: the foot's
    // segment lies exactly as far as the nearest vertex and is still walked.
    //   (-50,10) ---- (0,10) ---- (50,10)
    //                 (0,0)  (10,0) ------------ (100,0)
    const NearestResult footFirst =
        polylineOf({{-50, 10}, {50, 10}, {100, 0}, {10, 0}}).NearestPoint({0, 0});
    EXPECT_EQ(footFirst.distance, 10.0);
    EXPECT_EQ(footFirst.point, (Point{0, 10}));

    // A single vertex offers nothing, even to a point on it.
    EXPECT_EQ(polylineOf({{7, 7}}).NearestPoint({7, 7}).distance, kNoDistance);
}

TEST(RoutePolyline, TheProximityGateTurnsAwayPointsMoreThan100MetresOutsideTheBox) {
    const RoutePolyline route = ell(); // box 0..100 on both axes
    // Exactly 100 m beyond the box is still measured.
    EXPECT_EQ(route.NearestPoint({200, 50}).distance, 100.0);
    EXPECT_EQ(route.NearestPoint({50, -100}).distance, 100.0);

    // 150 m beyond: nothing found, and DistanceToPoint falls back on the nearer end.
    for (const Point far : {Point{250, 50}, Point{50, 250}, Point{-150, 50}, Point{50, -150}}) {
        const NearestResult nearest = route.NearestPoint(far);
        EXPECT_EQ(nearest.distance, kNoDistance);
        EXPECT_EQ(nearest.point, (Point{kNoPosition, kNoPosition}));
    }
    EXPECT_DOUBLE_EQ(route.DistanceToPoint({250, 50}), std::sqrt(150.0 * 150 + 50 * 50));
    EXPECT_DOUBLE_EQ(route.DistanceToPoint({-150, 50}), std::sqrt(150.0 * 150 + 50 * 50));
}

TEST(RoutePolyline, DistanceToPointMeasuresFromItsStartVertexOn) {
    const RoutePolyline route = ell();
    EXPECT_EQ(route.DistanceToPoint({90, 50}), 10.0);
    // From vertex 1 on, the first segment is left out: (50,10) is 50 m from the vertical one.
    EXPECT_EQ(route.DistanceToPoint({50, 10}, 1), 50.0);
    // Unlike NearestPoint, the start vertex itself counts.
    EXPECT_EQ(polylineOf({{0, 0}, {100, 0}}).DistanceToPoint({-10, 0}), 10.0);
    EXPECT_EQ(route.DistanceToPoint({100, 110}, 2), 10.0);
    // A start that is not a vertex, or no vertex at all, measures nothing.
    EXPECT_EQ(route.DistanceToPoint({50, 10}, 3), kNoDistance);
    EXPECT_EQ(route.DistanceToPoint({50, 10}, -1), kNoDistance);
    EXPECT_EQ(RoutePolyline().DistanceToPoint({0, 0}), kNoDistance);
}

TEST(RoutePolyline, ProgressiveOfTakesTheFirstSegmentWhoseBoxHoldsThePoint) {
    const RoutePolyline route = ell();
    EXPECT_EQ(route.ProgressiveOf({50, 0}), 50.0);
    EXPECT_EQ(route.ProgressiveOf({100, 50}), 150.0);
    EXPECT_EQ(route.ProgressiveOf({100, 50}, SegmentNumbering::FromStart).segment, 2);
    EXPECT_EQ(route.ProgressiveOf({100, 50}, SegmentNumbering::FromEnd).segment, 1);
    // The corner lies in both boxes: the earlier segment measures it.
    const ProgressiveResult corner = route.ProgressiveOf({100, 0}, SegmentNumbering::FromStart);
    EXPECT_EQ(corner.progressive, 100.0);
    EXPECT_EQ(corner.segment, 1);
    // Outside every box: the total length, no segment.
    const ProgressiveResult off = route.ProgressiveOf({50, 50}, SegmentNumbering::FromEnd);
    EXPECT_EQ(off.progressive, 200.0);
    EXPECT_EQ(off.segment, -1);

    // A loop crosses its own first segment: (50,0) lies on segment 1 at 50 m and on segment 4
    // at 350 m; the first pass wins.
    const RoutePolyline loop = polylineOf({{0, 0}, {100, 0}, {100, 100}, {50, 100}, {50, -50}});
    const ProgressiveResult crossing = loop.ProgressiveOf({50, 0}, SegmentNumbering::FromEnd);
    EXPECT_EQ(crossing.progressive, 50.0);
    EXPECT_EQ(crossing.segment, 4);
    EXPECT_EQ(loop.ProgressiveOf({50, -20}), 370.0);
}

TEST(RoutePolyline, PointAtProgressiveWalksTheLineAndStopsAtItsEnd) {
    const RoutePolyline route = ell();
    EXPECT_EQ(route.PointAtProgressive(0), (Point{0, 0}));
    EXPECT_EQ(route.PointAtProgressive(50), (Point{50, 0}));
    EXPECT_EQ(route.PointAtProgressive(100), (Point{100, 0}));
    EXPECT_EQ(route.PointAtProgressive(150), (Point{100, 50}));
    EXPECT_EQ(route.PointAtProgressive(200), (Point{100, 100}));
    EXPECT_EQ(route.PointAtProgressive(200.001), std::nullopt);
    EXPECT_EQ(route.PointAtProgressive(-0.001), std::nullopt);

    // The total length as Length() adds it up is the last vertex, even where the sum rounds.
    const RoutePolyline irregular = polylineOf({{0.1, 0.2}, {1.3, 1.7}, {3.9, 2.2}, {7, 7.5}});
    EXPECT_EQ(irregular.PointAtProgressive(irregular.Length()), (Point{7, 7.5}));

    // A repeated vertex (a segment of length 0) is passed over, not divided by.
    const RoutePolyline repeated = polylineOf({{0, 0}, {10, 0}, {10, 0}, {20, 0}});
    EXPECT_EQ(repeated.PointAtProgressive(10), (Point{10, 0}));
    EXPECT_EQ(repeated.PointAtProgressive(15), (Point{15, 0}));

    // Without vertices nothing is found, not even at 0; with one, only 0 is.
    EXPECT_EQ(RoutePolyline().PointAtProgressive(0), std::nullopt);
    EXPECT_EQ(polylineOf({{7, 7}}).PointAtProgressive(0), (Point{7, 7}));
    EXPECT_EQ(polylineOf({{7, 7}}).PointAtProgressive(1), std::nullopt);
}

TEST(RoutePolyline, ReversedCopyMeasuresFromTheEnd) {
    const RoutePolyline route({{0, 0}, {100, 0}, {100, 100}}, Box{-500, -500, 500, 500});
    const RoutePolyline back = route.reversed();
    ASSERT_EQ(back.vertexCount(), 3);
    EXPECT_EQ(back.GetVertex(0), (Point{100, 100}));
    EXPECT_EQ(back.GetVertex(2), (Point{0, 0}));
    EXPECT_EQ(back.box(), (Box{0, 0, 100, 100})); // recomputed, not the stored one
    EXPECT_EQ(route.box(), (Box{-500, -500, 500, 500}));
    EXPECT_EQ(back.Length(), route.Length());

    // (50,0) lies on segment 1 of the route, which is segment 2 of the copy; numbered from the
    // end, the copy names the route's segment.
    const ProgressiveResult onCopy = back.ProgressiveOf({50, 0}, SegmentNumbering::FromEnd);
    EXPECT_EQ(onCopy.progressive, 150.0);
    EXPECT_EQ(onCopy.segment, 1);
    EXPECT_EQ(route.Length() - onCopy.progressive, route.ProgressiveOf({50, 0}));
    EXPECT_EQ(RoutePolyline().reversed().vertexCount(), 0);
}

TEST(RoutePolyline, IsClockwiseTellsTheRightSideOfTravel) {
    EXPECT_TRUE(IsClockwise({0, 0}, {10, 0}, {5, -3}));  // stop on the right
    EXPECT_FALSE(IsClockwise({0, 0}, {10, 0}, {5, 3}));  // stop on the left
    EXPECT_FALSE(IsClockwise({0, 0}, {10, 0}, {20, 0})); // on the line: area 0
    const std::vector<Point> square = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
    EXPECT_TRUE(IsClockwise(square));
    const std::vector<Point> anticlockwise(square.rbegin(), square.rend());
    EXPECT_FALSE(IsClockwise(anticlockwise));
    EXPECT_FALSE(IsClockwise(std::vector<Point>{}));
}

} // namespace
} // namespace tramela::network
