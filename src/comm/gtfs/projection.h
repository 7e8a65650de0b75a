#pragma once

#include "network/route_polyline.h"

#include <memory>
#include <optional>
#include <string>

namespace tramela::comm::gtfs {

// The projection of WGS84 longitudes and latitudes (degrees) onto a planar reference system in
// metres, by its EPSG code.
class Projection {
public:
    ~Projection();
    Projection(Projection&&) noexcept;
    Projection& operator=(Projection&&) noexcept;

    // Nothing (and the reason in *error) when the code is unknown or not a planar system.
    static std::optional<Projection> create(int epsg, std::string* error);

    // x eastward, y northward, metres; nothing when the point cannot be projected.
    std::optional<network::Point> project(double longitude, double latitude) const;

    int epsg() const { return m_epsg; }

private:
    struct State;

    Projection() = default;

    std::unique_ptr<State> m_state;
    int m_epsg = 0;
};

// The WGS84 UTM zone holding a point: 32601 ... 32660 north of the equator, 32701 ... 32760
// south of it.
int utmZoneEpsg(double longitude, double latitude);

} // namespace tramela::comm::gtfs
