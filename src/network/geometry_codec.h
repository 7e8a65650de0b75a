#pragma once

#include "network/route_polyline.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tramela::network {

// The stored form of a route's vertices (geoitin.coord): for each vertex in route order its x
// then its y, each an IEEE-754 double in little-endian byte order on every host; 16 bytes per
// vertex, no header, no trailer, no padding.
//
//   offset 16·i      x of vertex i   1.0 -> 00 00 00 00 00 00 F0 3F
//   offset 16·i + 8  y of vertex i
inline constexpr std::size_t kCoordBytesPerVertex = 16;

// The `punti` vertices held by a coord BLOB; nothing when punti is negative, larger than a
// polyline can hold, or when the BLOB is not exactly punti × 16 bytes long.
std::optional<std::vector<Point>> decodeCoord(std::int64_t punti,
                                              std::span<const unsigned char> coord);

// The coord BLOB of these vertices, vertices.size() × 16 bytes.
std::vector<unsigned char> encodeCoord(std::span<const Point> vertices);

} // namespace tramela::network
