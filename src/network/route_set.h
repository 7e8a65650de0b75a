#pragma once

#include "network/route_polyline.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tramela::network {

// A 32-bit database identifier that only compares with identifiers of its own kind.
template <typename Tag> struct Id {
    std::int32_t value = 0;

    friend auto operator<=>(const Id&, const Id&) = default;
};

using RouteId = Id<struct RouteTag>; // itiner.ID, geoitin.ID, fermitin.ID
using StopId = Id<struct StopTag>;   // fermate.ID, fermitin.fermata

} // namespace tramela::network

template <typename Tag> struct std::hash<tramela::network::Id<Tag>> {
    std::size_t operator()(tramela::network::Id<Tag> id) const noexcept {
        return std::hash<std::int32_t>{}(id.value);
    }
};

namespace tramela::network {

// One place along a route where a stop comes within reach of its line, in the order in which
// the route's segments are walked.
struct ProjectionCandidate {
    double position = 0.0; // metres from the start of the route
    double distance = 0.0; // metres from the stop to that place
};

// A stop of a route's composition as the progressive computations handle it.
struct StopOnRoute {
    std::int32_t sub = 0; // position on the route (fermitin.sub)
    StopId stop;
    Point position;                   // fermate.coord_x, fermate.coord_y, metres
    double progressive = kNoPosition; // metres from the start; kNoPosition: not determined
    std::vector<ProjectionCandidate> candidates;
};

// A route with its geometry and its stops, as the batch computations handle it.
struct RouteWithStops {
    RouteId id;
    std::optional<RoutePolyline> polyline; // absent when the route has no sound geometry
    std::vector<StopOnRoute> stops;        // ascending sub: front() is the first, back() the last
};

// The routes of one computation in the order appended; it owns them, each with its polyline and
// its stops. References to its routes stay valid while more are appended.
class RouteSet {
public:
    RouteWithStops& append(RouteId id, std::optional<RoutePolyline> polyline);
    // The first route appended with this id; nullptr when there is none.
    RouteWithStops* find(RouteId id);
    const RouteWithStops* find(RouteId id) const;
    StopOnRoute& appendStop(RouteWithStops& route, StopOnRoute stop);
    void clear();

    std::size_t size() const { return m_routes.size(); }

    bool empty() const { return m_routes.empty(); }

    auto begin() { return m_routes.begin(); }

    auto end() { return m_routes.end(); }

    auto begin() const { return m_routes.begin(); }

    auto end() const { return m_routes.end(); }

private:
    std::deque<RouteWithStops> m_routes;
    std::unordered_map<RouteId, std::size_t> m_firstById; // position in m_routes
};

} // namespace tramela::network
