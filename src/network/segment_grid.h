#pragma once

#include "network/route_polyline.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tramela::network {

// One segment of one of the grid's lines: segment i runs from vertex i - 1 to vertex i.
struct SegmentRef {
    std::uint32_t line = 0;
    std::uint32_t segment = 0;

    bool operator==(const SegmentRef&) const = default;
};

// A uniform grid over the segments of many lines, so that the lines passing near a point are
// found without walking the others.
//
// Each segment is entered in every cell that its box, grown by the reach on every side, touches;
// a point then reads only its own cell. Only the cells that hold a segment are kept, sorted by
// their place, so the grid costs nothing where there are no routes however far apart the routes
// lie. A segment whose grown box would cover too many cells (a very long straight, or a damaged
// vertex thousands of kilometres away) is kept on a short list of its own that every query reads,
// so that one bad row cannot fill the grid.
//
//     +-----+-----+-----+
//     |  .......  |     |     the segment a-b grown by the reach touches four cells; a point in
//     |  : a---:--+-b   |     any of them reads a-b among its candidates
//     +--:-----:--+-----+
//     |  :.....:  |     |
//     +-----+-----+-----+
//
// The grid borrows the vertices of the lines: they must outlive it and not move.
class SegmentGrid {
public:
    // `reach` in metres: every segment whose box lies within `reach` of a point is found for it.
    SegmentGrid(std::span<const std::span<const Point>> lines, double reach);

    // The segments whose closed box lies within the reach of p, ordered by line and then by
    // segment. A segment with an end that is not a finite number is always among them: the
    // measures decide about it. Nothing for a point that is not finite. `out` is cleared first.
    void near(Point p, std::vector<SegmentRef>& out) const;

    // Cells that hold at least one segment.
    std::size_t cellCount() const { return m_cellKeys.size(); }

    // Segments entered in cells, counted once per cell.
    std::size_t entryCount() const { return m_entries.size(); }

    // Segments on the list every query reads.
    std::size_t wideCount() const { return m_wide.size(); }

private:
    // The key of the cell that holds (x, y); nothing outside the grid's range or not a number.
    std::optional<std::uint64_t> cellKey(double x, double y) const;
    bool withinReach(Point p, SegmentRef ref) const;

    std::vector<std::span<const Point>> m_lines;
    double m_reach = 0.0;
    double m_cellSize = 1.0;
    std::vector<std::uint64_t> m_cellKeys;  // ascending
    std::vector<std::uint32_t> m_cellStart; // cell k holds m_entries[m_cellStart[k], [k + 1])
    std::vector<SegmentRef> m_entries;
    std::vector<SegmentRef> m_wide;
};

} // namespace tramela::network
