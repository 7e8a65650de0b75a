#include "network/geometry_codec.h"

#include <bit>
#include <limits>

namespace tramela::network {

namespace {

// Assembled byte by byte, so the result is the same on a big-endian host; on a little-endian one
// the compiler makes a plain load of it.
double readLittleEndian(const unsigned char* bytes) {
    std::uint64_t bits = 0;
    for (int k = 7; k >= 0; --k) {
        bits = (bits << 8) | bytes[k];
    }
    return std::bit_cast<double>(bits);
}

void writeLittleEndian(double value, unsigned char* bytes) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (int k = 0; k < 8; ++k) {
        bytes[k] = static_cast<unsigned char>(bits & 0xFFu);
        bits >>= 8;
    }
}

} // namespace

std::optional<std::vector<Point>> decodeCoord(std::int64_t punti,
                                              std::span<const unsigned char> coord) {
    // The length is checked before anything is allocated: a count read from a damaged row may
    // be negative or huge.
    if (punti < 0 || punti > std::numeric_limits<int>::max() ||
        coord.size() != static_cast<std::uint64_t>(punti) * kCoordBytesPerVertex) {
        return std::nullopt;
    }
    std::vector<Point> vertices(static_cast<std::size_t>(punti));
    const unsigned char* bytes = coord.data();
    for (Point& vertex : vertices) {
        vertex.x = readLittleEndian(bytes);
        vertex.y = readLittleEndian(bytes + 8);
        bytes += kCoordBytesPerVertex;
    }
    return vertices;
}

std::vector<unsigned char> encodeCoord(std::span<const Point> vertices) {
    std::vector<unsigned char> coord(vertices.size() * kCoordBytesPerVertex);
    unsigned char* bytes = coord.data();
    for (const Point& vertex : vertices) {
        writeLittleEndian(vertex.x, bytes);
        writeLittleEndian(vertex.y, bytes + 8);
        bytes += kCoordBytesPerVertex;
    }
    return coord;
}

} // namespace tramela::network
