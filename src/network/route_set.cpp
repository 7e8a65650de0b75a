#include "network/route_set.h"

#include <utility>

namespace tramela::network {

RouteWithStops& RouteSet::append(RouteId id, std::optional<RoutePolyline> polyline) {
    // A second route with the same id is kept but never found: the first one answers for it.
    m_firstById.try_emplace(id, m_routes.size());
    return m_routes.emplace_back(RouteWithStops{id, std::move(polyline), {}});
}

RouteWithStops* RouteSet::find(RouteId id) {
    const auto found = m_firstById.find(id);
    return found == m_firstById.end() ? nullptr : &m_routes[found->second];
}

const RouteWithStops* RouteSet::find(RouteId id) const {
    const auto found = m_firstById.find(id);
    return found == m_firstById.end() ? nullptr : &m_routes[found->second];
}

StopOnRoute& RouteSet::appendStop(RouteWithStops& route, StopOnRoute stop) {
    return route.stops.emplace_back(std::move(stop));
}

void RouteSet::clear() {
    m_routes.clear();
    m_firstById.clear();
}

} // namespace tramela::network
