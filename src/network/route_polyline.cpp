#include "network/route_polyline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tramela::network {

namespace {

double squaredDistance(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return dx * dx + dy * dy;
}

double distance(Point a, Point b) {
    return std::sqrt(squaredDistance(a, b));
}

// The squared distance from p to the closed box of the segment ab: never more than the squared
// distance from p to any point of the box computed as squaredDistance does, since subtracting,
// squaring and adding round monotonically. Both candidates of a segment (its end vertex and a foot
// that falls on it) lie in its box, so a box at least as far as the best candidate so far offers
// nothing nearer, and the walk skips the segment with the same result.
double squaredDistanceToSegmentBox(Point p, Point a, Point b) {
    const double lowX = std::min(a.x, b.x);
    const double highX = std::max(a.x, b.x);
    const double lowY = std::min(a.y, b.y);
    const double highY = std::max(a.y, b.y);
    const double dx = p.x < lowX ? lowX - p.x : (p.x > highX ? p.x - highX : 0.0);
    const double dy = p.y < lowY ? lowY - p.y : (p.y > highY ? p.y - highY : 0.0);
    return dx * dx + dy * dy;
}

// Whether p lies in the closed box of the segment ab, bounds included.
bool insideSegmentBox(Point p, Point a, Point b) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

// The foot of the perpendicular from p on the line through a and b, and whether it falls on the
// segment (bounds included). The line is taken in slope-intercept form y = m·x + q, so a
// vertical segment (equal x) is a case of its own: its foot is (x of the segment, y of p).
//
//          p
//          |
//    a ----f------ b      f = ((px + m·py − m·q) / (m² + 1), (m·px + m²·py + q) / (m² + 1))
struct Foot {
    Point point;
    bool onSegment = false;
};

Foot footOnSegment(Point p, Point a, Point b) {
    Foot foot;
    if (b.x - a.x == 0.0) {
        foot.point = {b.x, p.y};
    } else {
        const double m = (b.y - a.y) / (b.x - a.x);
        const double q = a.y - m * a.x;
        const double d = m * m + 1.0;
        foot.point = {(p.x + m * p.y - m * q) / d, (m * p.x + m * m * p.y + q) / d};
    }
    foot.onSegment = insideSegmentBox(foot.point, a, b);
    return foot;
}

void widen(Box& box, Point p) {
    if (p.x > box.maxX) {
        box.maxX = p.x;
    }
    if (p.x < box.minX) {
        box.minX = p.x;
    }
    if (p.y > box.maxY) {
        box.maxY = p.y;
    }
    if (p.y < box.minY) {
        box.minY = p.y;
    }
}

// How far outside its box a point may lie and still be measured against a polyline, metres.
constexpr double kProximity = 100.0;

} // namespace

RoutePolyline::RoutePolyline(int n)
    : m_vertices(n > 0 ? static_cast<std::size_t>(n) : 0) {}

RoutePolyline::RoutePolyline(std::vector<Point> vertices, const Box& box)
    : m_vertices(std::move(vertices))
    , m_box(box) {}

void RoutePolyline::SetVertex(int i, double x, double y) {
    if (i < 0 || i >= vertexCount()) {
        return;
    }
    m_vertices[static_cast<std::size_t>(i)] = {x, y};
    widen(m_box, {x, y});
}

std::optional<Point> RoutePolyline::GetVertex(int i) const {
    if (i < 0 || i >= vertexCount()) {
        return std::nullopt;
    }
    return m_vertices[static_cast<std::size_t>(i)];
}

void RoutePolyline::RecomputeBox() {
    m_box = Box{};
    for (const Point& vertex : m_vertices) {
        widen(m_box, vertex);
    }
}

RoutePolyline RoutePolyline::reversed() const {
    RoutePolyline copy;
    copy.m_vertices.assign(m_vertices.rbegin(), m_vertices.rend());
    copy.RecomputeBox();
    return copy;
}

bool RoutePolyline::isFar(Point p) const {
    return p.x - kProximity > m_box.maxX || p.y - kProximity > m_box.maxY ||
           p.x + kProximity < m_box.minX || p.y + kProximity < m_box.minY;
}

// Length, ProgressiveOf and PointAtProgressive add the segment lengths in the same order, so the
// total length that each of them reaches is the same double: PointAtProgressive(Length()) is
// the last vertex.
double RoutePolyline::Length() const {
    double length = 0.0;
    for (std::size_t i = 1; i < m_vertices.size(); ++i) {
        length += distance(m_vertices[i], m_vertices[i - 1]);
    }
    return length;
}

NearestResult RoutePolyline::DistanceToStart(Point p) const {
    if (m_vertices.empty()) {
        return {};
    }
    return {distance(p, m_vertices[0]), m_vertices[0]};
}

// Each segment offers its end vertex and, when it falls on the segment, the foot of the
// perpendicular; a candidate replaces the best so far only when strictly nearer. Vertex 0 is
// offered by no segment: beyond the start of a straight line the answer is vertex 1.
//
// The nearest vertex bounds the answer, so a first pass finds it and the walk then skips every
// segment whose box lies farther than that, with a margin wider than the rounding of a square
// root: such a segment holds no candidate as near as the answer, so skipping it changes neither
// the distance nor which of equal candidates comes first. Only the few segments around the point
// pay for a foot.
NearestResult RoutePolyline::NearestPoint(Point p) const {
    NearestResult best;
    if (isFar(p)) {
        return best;
    }
    double nearestVertexSquared = std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < m_vertices.size(); ++i) {
        nearestVertexSquared = std::min(nearestVertexSquared, squaredDistance(p, m_vertices[i]));
    }
    const double reachSquared =
        nearestVertexSquared * (1.0 + 1e-12) + std::numeric_limits<double>::min();
    for (std::size_t i = 1; i < m_vertices.size(); ++i) {
        const Point a = m_vertices[i - 1];
        const Point b = m_vertices[i];
        if (squaredDistanceToSegmentBox(p, a, b) > reachSquared) {
            continue;
        }
        const double toEnd = distance(p, b);
        if (toEnd < best.distance) {
            best = {toEnd, b};
        }
        const Foot foot = footOnSegment(p, a, b);
        if (foot.onSegment) {
            const double toFoot = distance(p, foot.point);
            if (toFoot < best.distance) {
                best = {toFoot, foot.point};
            }
        }
    }
    return best;
}

// The smallest of the distances to the vertices from `start` on and to the feet that fall on
// their segments. The vertices come first, in one cheap pass; a foot is then sought only on a
// segment whose box lies nearer than the best so far.
double RoutePolyline::DistanceToPoint(Point p, int start) const {
    const int n = vertexCount();
    if (start < 0 || start >= n) {
        return kNoDistance;
    }
    const auto first = static_cast<std::size_t>(start);
    double best = kNoDistance;
    if (!isFar(p)) {
        double bestSquared = squaredDistance(p, m_vertices[first]);
        for (std::size_t i = first + 1; i < m_vertices.size(); ++i) {
            bestSquared = std::min(bestSquared, squaredDistance(p, m_vertices[i]));
        }
        best = std::sqrt(bestSquared);
        for (std::size_t i = first + 1; i < m_vertices.size(); ++i) {
            const Point a = m_vertices[i - 1];
            const Point b = m_vertices[i];
            if (squaredDistanceToSegmentBox(p, a, b) >= bestSquared) {
                continue;
            }
            const Foot foot = footOnSegment(p, a, b);
            if (foot.onSegment) {
                const double toFootSquared = squaredDistance(p, foot.point);
                if (toFootSquared < bestSquared) {
                    bestSquared = toFootSquared;
                    best = std::sqrt(toFootSquared);
                }
            }
        }
        if (best != kNoDistance) {
            return best;
        }
    }
    // A far point is measured against the two ends only: it lies more than 100 m outside the
    // route's box, so any nearness check fails on it just the same, and no walk is spent.
    return std::min({best, distance(p, m_vertices[first]), distance(p, m_vertices.back())});
}

double RoutePolyline::ProgressiveOf(Point p) const {
    return ProgressiveOf(p, SegmentNumbering::FromStart).progressive;
}

// The point is taken to lie on the line, so the first segment whose box holds it is the one it
// lies on; where the line passes the same place twice the earlier pass wins.
ProgressiveResult RoutePolyline::ProgressiveOf(Point p, SegmentNumbering numbering) const {
    const int n = vertexCount();
    double travelled = 0.0;
    for (int i = 1; i < n; ++i) {
        const Point a = m_vertices[static_cast<std::size_t>(i - 1)];
        const Point b = m_vertices[static_cast<std::size_t>(i)];
        if (insideSegmentBox(p, a, b)) {
            return {travelled + distance(p, a),
                    numbering == SegmentNumbering::FromStart ? i : n - i};
        }
        travelled += distance(b, a);
    }
    return {travelled, -1};
}

// A segment of length 0 never interpolates: s already exceeds the length before it (s = 0 is
// vertex 0, and an s equal to a segment's end is that end), so t never divides by 0.
std::optional<Point> RoutePolyline::PointAtProgressive(double s) const {
    if (m_vertices.empty() || !(s >= 0.0)) {
        return std::nullopt;
    }
    if (s == 0.0) {
        return m_vertices[0];
    }
    double before = 0.0;
    for (std::size_t i = 1; i < m_vertices.size(); ++i) {
        const Point a = m_vertices[i - 1];
        const Point b = m_vertices[i];
        const double segment = distance(b, a);
        const double after = before + segment;
        if (s == after) {
            return b;
        }
        if (s < after) {
            const double t = (s - before) / segment;
            return Point{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        }
        before = after;
    }
    return std::nullopt;
}

bool IsClockwise(std::span<const Point> ring) {
    if (ring.empty()) {
        return false;
    }
    // The shoelace sum over the ring closed on its first point; a negative area turns clockwise.
    double sum = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const Point a = ring[k];
        const Point b = k + 1 < ring.size() ? ring[k + 1] : ring[0];
        sum += a.x * b.y - a.y * b.x;
    }
    return sum * 0.5 < 0.0;
}

} // namespace tramela::network
