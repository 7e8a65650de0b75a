#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace tramela::network {

// Planar coordinates and distances are metres, in the reference system of the stops
// (fermate.coord_x, fermate.coord_y); every distance is Euclidean.

// "No distance": the largest double.
inline constexpr double kNoDistance = std::numeric_limits<double>::max();
// "No coordinate" and "no position": the smallest positive normal double, 2.2250738585072014e-308.
inline constexpr double kNoPosition = std::numeric_limits<double>::min();

// A point of the plane, metres.
struct Point {
    double x = 0.0;
    double y = 0.0;

    bool operator==(const Point&) const = default;
};

// An axis-aligned box, metres; the empty box has its minimum at the largest double and its
// maximum at the lowest, so that the first point widened into it becomes the whole box.
struct Box {
    double minX = std::numeric_limits<double>::max();
    double minY = std::numeric_limits<double>::max();
    double maxX = std::numeric_limits<double>::lowest();
    double maxY = std::numeric_limits<double>::lowest();

    bool operator==(const Box&) const = default;
};

// The nearest point found on a polyline and its distance; {kNoDistance, {kNoPosition,
// kNoPosition}} when nothing was found.
struct NearestResult {
    double distance = kNoDistance;
    Point point{kNoPosition, kNoPosition};
};

// Where ProgressiveOf found a point: the progressive (metres from the start) and the segment
// that held it, or -1 when no segment did (the progressive is then the total length).
struct ProgressiveResult {
    double progressive = 0.0;
    int segment = -1;
};

// How ProgressiveOf numbers the segment it reports. Segment i runs from vertex i - 1 to vertex i;
// counted from the end it is n - i, which is its number on the reversed copy.
enum class SegmentNumbering { FromStart, FromEnd };

// A route's geometry in memory: its vertices in route order, its bounding box and the measures
// taken on it.
//
// The measures first ask whether a point is near at all: a point farther than 100 m outside the
// box on either axis is "far" and costs no walk of the vertices. The box is the one the polyline
// was given (as stored with the geometry) or has widened since; it is never recomputed silently.
//
//        maxY + 100 +-----------------+
//                   |  +-----------+  |
//                   |  |  route    |  |    P: far, the vertices are not visited
//                   |  +-----------+  |
//        minY - 100 +-----------------+
//               minX - 100        maxX + 100
class RoutePolyline {
public:
    // No vertex, empty box.
    RoutePolyline() = default;
    // n vertices at (0, 0) (none when n <= 0) and the empty box: SetVertex fills them.
    explicit RoutePolyline(int n);
    // Adopts the vertices as read from storage together with the stored box, unchanged.
    RoutePolyline(std::vector<Point> vertices, const Box& box);

    int vertexCount() const { return static_cast<int>(m_vertices.size()); }

    std::span<const Point> vertices() const { return m_vertices; }

    const Box& box() const { return m_box; }

    // Stores vertex i and widens the box by it; ignored unless 0 <= i < n.
    void SetVertex(int i, double x, double y);
    // Vertex i; nothing unless 0 <= i < n.
    std::optional<Point> GetVertex(int i) const;
    // Resets the box to empty and widens it by every vertex.
    void RecomputeBox();

    // The copy that runs from the end to the start: vertex j becomes vertex n - 1 - j, box
    // recomputed. Its measures count from the end of the route.
    RoutePolyline reversed() const;

    // Sum of the segment lengths, metres; 0 with fewer than two vertices.
    double Length() const;
    // The distance from p to vertex 0, and vertex 0; nothing found without vertices.
    NearestResult DistanceToStart(Point p) const;
    // The nearest point to p among the vertices 1 ... n - 1 and the feet of the perpendiculars
    // that fall on their segments; the earlier candidate wins a tie. Nothing found when p is far
    // or there are fewer than two vertices. Vertex 0 is never a candidate of its own.
    NearestResult NearestPoint(Point p) const;
    // The distance from p to the part of the line from vertex `start` on (vertices and feet on
    // the segments). A far point gets the nearer of vertex `start` and the last vertex.
    // kNoDistance when `start` is not a vertex.
    double DistanceToPoint(Point p, int start = 0) const;
    // The progressive (metres from the start) of a point that lies on the line: the first
    // segment whose closed box holds p measures it from its start vertex; a point that no
    // segment box holds gets the total length.
    double ProgressiveOf(Point p) const;
    ProgressiveResult ProgressiveOf(Point p, SegmentNumbering numbering) const;
    // The point at progressive s (metres from the start) along the line; nothing when s is
    // negative, beyond the total length or not a number, or when there is no vertex.
    std::optional<Point> PointAtProgressive(double s) const;

private:
    bool isFar(Point p) const;

    std::vector<Point> m_vertices;
    Box m_box;
};

// True when the ring, closed on its first point, turns clockwise (x eastward, y northward): its
// signed area is negative. An empty ring is not clockwise.
//
// For the triangle (segment start, segment end, stop) clockwise means that the stop lies on the
// right of the direction of travel:
//
//     a -------> b
//          \   /
//           stop      (a, b, stop) is clockwise
bool IsClockwise(std::span<const Point> ring);

inline bool IsClockwise(Point a, Point b, Point c) {
    const Point ring[] = {a, b, c};
    return IsClockwise(ring);
}

} // namespace tramela::network
