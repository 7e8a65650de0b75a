#include "network/stop_association.h"

#include "network/progressives.h"
#include "network/segment_grid.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <utility>

namespace tramela::network {

namespace {

// The classes of the items, as the report writes them.
constexpr std::string_view kNotAssociable = "*** Presente; non risulta associabile ***";
constexpr std::string_view kOk = "OK";
constexpr std::string_view kAbsent = "*** Assente; risulta associabile ***";
constexpr std::string_view kWrongSide = "*** Presente; lato strada errato ***";

// The grid finds the segments whose box lies within this of a stop: a metre beyond the reach,
// so that no rounding of a box distance can leave out a segment whose nearest point lies just
// inside the reach. A segment found needlessly costs one measure and offers nothing nearer.
constexpr double kGridReach = kAssociationReach + 1.0;

// The measures below are taken exactly as the polyline's own measures take them (the same
// operations in the same order), so that an item lies where NearestPoint and ProgressiveOf on
// the whole line, or on its reversed copy, put it; only the segments the grid finds are visited.
double distance(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

bool insideSegmentBox(Point p, Point a, Point b) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

bool isFar(const Box& box, Point p) {
    constexpr double kProximity = 100.0;
    return p.x - kProximity > box.maxX || p.y - kProximity > box.maxY ||
           p.x + kProximity < box.minX || p.y + kProximity < box.minY;
}

// A segment walked from `from` to `to` offers its end `to` and the foot on it; a candidate wins
// only when strictly nearer than the best so far, so the earlier of equal candidates stays.
void offerSegment(Point p, Point from, Point to, NearestResult& best) {
    const double toEnd = distance(p, to);
    if (toEnd < best.distance) {
        best = {toEnd, to};
    }
    if (const std::optional<Point> foot = footOnSegment(p, from, to)) {
        const double toFoot = distance(p, *foot);
        if (toFoot < best.distance) {
            best = {toFoot, *foot};
        }
    }
}

AssociationItem itemOf(const RegisterStop& stop, double progressive, int segment, bool onLine) {
    AssociationItem item;
    item.progressive = progressive;
    item.stop = stop.id;
    item.code = stop.code;
    item.name = stop.name;
    item.position = stop.position;
    item.segment = segment;
    item.onRightSide = onLine;
    return item;
}

// The items a stop adds to one route, from the route's segments near it (`near`, ascending).
//
// From the start: the nearest point found walking the segments in route order; its progressive
// is measured on the first segment whose box holds it. From the end: the same walk on the
// reversed line, where segment i (vertex i - 1 to vertex i) is walked from vertex i to vertex
// i - 1, the segments come in descending order, and the first box that holds the point is the
// one of the highest segment; the progressive from the end is taken off the length. On a route
// that passes the stop twice, out along a street and back along it, the walk from the start
// finds the outward pass and the walk from the end the return.
void associate(const AnalysedRoute& route,
               const RegisterStop& stop,
               std::span<const SegmentRef> near,
               std::vector<AssociationItem>& items) {
    const Point p = *stop.position;
    const std::span<const Point> v = route.polyline.vertices();

    if (!isFar(route.polyline.box(), p)) {
        NearestResult best;
        for (const SegmentRef& ref : near) {
            offerSegment(p, v[ref.segment - 1], v[ref.segment], best);
        }
        if (best.distance < kAssociationReach) {
            for (const SegmentRef& ref : near) {
                const std::size_t i = ref.segment;
                if (insideSegmentBox(best.point, v[i - 1], v[i])) {
                    const double progressive =
                        route.fromStart[i - 1] + distance(best.point, v[i - 1]);
                    items.push_back(itemOf(stop,
                                           RoundToCentimetres(progressive),
                                           static_cast<int>(i),
                                           best.distance == 0.0));
                    break;
                }
            }
        }
    }

    if (!isFar(route.reversedBox, p)) {
        NearestResult best;
        for (auto ref = near.rbegin(); ref != near.rend(); ++ref) {
            offerSegment(p, v[ref->segment], v[ref->segment - 1], best);
        }
        if (best.distance < kAssociationReach) {
            for (auto ref = near.rbegin(); ref != near.rend(); ++ref) {
                const std::size_t i = ref->segment;
                if (insideSegmentBox(best.point, v[i], v[i - 1])) {
                    const double fromEnd = route.fromEnd[i] + distance(best.point, v[i]);
                    items.push_back(itemOf(stop,
                                           RoundToCentimetres(route.length - fromEnd),
                                           static_cast<int>(i),
                                           best.distance == 0.0));
                    break;
                }
            }
        }
    }
}

std::string kmText(double metres) {
    return fmt::format("{:.3f}", metres * 0.001);
}

} // namespace

double RoundToCentimetres(double metres) {
    return std::round(metres * 100.0) / 100.0 + 0.0;
}

AnalysedRoute&
StopAssociation::addRoute(RouteId id, std::string code, std::string name, RoutePolyline polyline) {
    m_byId.try_emplace(id, m_routes.size());
    AnalysedRoute& route = m_routes.emplace_back();
    route.id = id;
    route.code = std::move(code);
    route.name = std::move(name);
    route.polyline = std::move(polyline);

    const std::span<const Point> v = route.polyline.vertices();
    const std::size_t n = v.size();
    route.fromStart.assign(n, 0.0);
    route.fromEnd.assign(n, 0.0);
    for (std::size_t i = 1; i < n; ++i) {
        route.fromStart[i] = route.fromStart[i - 1] + distance(v[i], v[i - 1]);
    }
    for (std::size_t i = n - 1; i-- > 0;) {
        route.fromEnd[i] = route.fromEnd[i + 1] + distance(v[i], v[i + 1]);
    }
    route.length = route.polyline.Length();
    RoutePolyline box = route.polyline.reversed();
    route.reversedBox = box.box();
    return route;
}

AnalysedRoute* StopAssociation::find(RouteId id) {
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : &m_routes[found->second];
}

void StopAssociation::findStops(std::span<const RegisterStop> stops,
                                const std::function<void(std::size_t stopsDone)>& stopDone) {
    std::vector<std::span<const Point>> lines;
    lines.reserve(m_routes.size());
    for (const AnalysedRoute& route : m_routes) {
        lines.push_back(route.polyline.vertices());
    }
    const SegmentGrid grid(lines, kGridReach);

    std::vector<SegmentRef> near;
    std::size_t done = 0;
    for (const RegisterStop& stop : stops) {
        if (stop.position) {
            grid.near(*stop.position, near);
            // The segments come grouped by route, in route order: one run per route nearby.
            for (std::size_t first = 0; first < near.size();) {
                std::size_t last = first;
                while (last < near.size() && near[last].line == near[first].line) {
                    ++last;
                }
                AnalysedRoute& route = m_routes[near[first].line];
                associate(route,
                          stop,
                          std::span<const SegmentRef>(near).subspan(first, last - first),
                          route.items);
                first = last;
            }
        }
        ++done;
        if (stopDone) {
            stopDone(done);
        }
    }
}

void StopAssociation::sortItems(const std::function<void(std::size_t routesDone)>& routeDone) {
    std::size_t done = 0;
    for (AnalysedRoute& route : m_routes) {
        std::vector<AssociationItem>& items = route.items;
        std::stable_sort(
            items.begin(), items.end(), [](const AssociationItem& l, const AssociationItem& r) {
                return l.progressive < r.progressive;
            });
        // Items at the same progressive are neighbours now; of those, the first of each stop stays.
        std::vector<AssociationItem> kept;
        kept.reserve(items.size());
        std::size_t sameFrom = 0; // the first kept item at the current progressive
        for (AssociationItem& item : items) {
            if (kept.empty() || kept.back().progressive != item.progressive) {
                sameFrom = kept.size();
            }
            const bool repeated = std::any_of(
                kept.begin() + static_cast<std::ptrdiff_t>(sameFrom),
                kept.end(),
                [&](const AssociationItem& earlier) { return earlier.stop == item.stop; });
            if (!repeated) {
                kept.push_back(std::move(item));
            }
        }
        items = std::move(kept);
        if (routeDone) {
            routeDone(++done);
        }
    }
}

// A stop the route passes twice (out along a street and back) has an item for each pass; the
// composition row takes the one not yet claimed that lies nearest its cartographic progressive,
// so that the pass it serves is the one compared with the side of the road.
bool StopAssociation::addCompositionStop(RouteId id, const RegisterStop& stop, double geodist) {
    AnalysedRoute* route = find(id);
    if (route == nullptr) {
        return false;
    }
    AssociationItem* chosen = nullptr;
    for (AssociationItem& item : route->items) {
        if (item.stop != stop.id || item.compositionOnly) {
            continue;
        }
        if (chosen == nullptr || (chosen->inComposition && !item.inComposition) ||
            (chosen->inComposition == item.inComposition &&
             std::abs(item.progressive - geodist) < std::abs(chosen->progressive - geodist))) {
            chosen = &item;
        }
    }
    if (chosen != nullptr) {
        chosen->inComposition = true;
        return true;
    }
    AssociationItem item = itemOf(stop, geodist, -1, false);
    item.inComposition = true;
    item.compositionOnly = true;
    const auto place = std::upper_bound(route->items.begin(),
                                        route->items.end(),
                                        geodist,
                                        [](double progressive, const AssociationItem& other) {
                                            return progressive < other.progressive;
                                        });
    route->items.insert(place, std::move(item));
    return true;
}

void StopAssociation::settleSides(const std::function<void(std::size_t routesDone)>& routeDone) {
    std::size_t done = 0;
    for (AnalysedRoute& route : m_routes) {
        const std::span<const Point> v = route.polyline.vertices();
        std::vector<AssociationItem>& items = route.items;
        if (!v.empty()) {
            std::erase_if(items, [&](AssociationItem& item) {
                if (!item.position) {
                    return false;
                }
                const double d1 = distance(*item.position, v.front());
                const double d2 = distance(*item.position, v.back());
                if (d1 < kAssociationReach || d2 < kAssociationReach) {
                    if (!item.inComposition) {
                        return true;
                    }
                    item.atTerminus = true;
                }
                return false;
            });
        }
        for (AssociationItem& item : items) {
            if (!item.onRightSide && item.segment >= 1 && item.position) {
                const auto i = static_cast<std::size_t>(item.segment);
                item.onRightSide = IsClockwise(v[i - 1], v[i], *item.position);
            }
        }
        if (routeDone) {
            routeDone(++done);
        }
    }
}

std::string itemClass(const AssociationItem& item) {
    const bool e = item.inComposition;
    const bool v = item.onRightSide;
    const bool c = item.atTerminus;
    const bool f = item.compositionOnly;
    if (f && !c) {
        return std::string(kNotAssociable);
    }
    if (e && v && !f) {
        return std::string(kOk);
    }
    if (!e && v) {
        return std::string(kAbsent);
    }
    if (e && !v && !c) {
        return std::string(kWrongSide);
    }
    if ((!e && !v) || c) {
        return {};
    }
    return fmt::format("BOH (E={:d} V={:d} F={:d} C={:d})", e, v, f, c);
}

bool hasAnomaly(const AnalysedRoute& route) {
    return std::any_of(route.items.begin(), route.items.end(), [](const AssociationItem& item) {
        return item.compositionOnly || item.onRightSide != item.inComposition;
    });
}

std::vector<std::string> reportLines(std::span<const AnalysedRoute> routes,
                                     const ReportChoices& choices) {
    // Without the full report only the anomalies chosen are written, never "OK" or "BOH".
    const auto wanted = [&](std::string_view text) {
        if (text.empty()) {
            return false;
        }
        if (choices.full) {
            return true;
        }
        if (text == kAbsent) {
            return choices.absent;
        }
        return choices.wrong && (text == kNotAssociable || text == kWrongSide);
    };
    std::vector<std::string> lines;
    for (const AnalysedRoute& route : routes) {
        if (!choices.full && !hasAnomaly(route)) {
            continue;
        }
        lines.emplace_back();
        lines.push_back(
            fmt::format("Percorso ID={} {}-{}", route.id.value, route.code, route.name));
        for (const AssociationItem& item : route.items) {
            const std::string text = itemClass(item);
            if (wanted(text)) {
                lines.push_back(fmt::format("\t{} Km\t{}-{}\tID={}\t{}",
                                            kmText(item.progressive),
                                            item.code,
                                            item.name,
                                            item.stop.value,
                                            text));
            }
        }
    }
    return lines;
}

} // namespace tramela::network
