#include "network/segment_grid.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace tramela::network {

namespace {

// A segment entered in more cells than this goes on the wide list instead.
constexpr double kMaxCellsPerSegment = 64.0;
// Cell indices run from -2^30 to 2^30 on each axis (with cells of 160 m, beyond 170 million
// kilometres): a place farther out belongs to no cell, and its segments go on the wide list.
constexpr double kIndexLimit = 1073741824.0;

bool finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

std::uint64_t keyOf(std::int64_t column, std::int64_t row) {
    const auto biased = [](std::int64_t index) {
        return static_cast<std::uint64_t>(index + static_cast<std::int64_t>(kIndexLimit));
    };
    return biased(column) << 32 | biased(row);
}

} // namespace

SegmentGrid::SegmentGrid(std::span<const std::span<const Point>> lines, double reach)
    : m_lines(lines.begin(), lines.end())
    , m_reach(reach)
    // Cells four times the reach wide: a segment of a city route (tens of metres) grown by the
    // reach touches one to four of them, and a point's cell holds few segments besides its own.
    , m_cellSize(std::max(4.0 * reach, 1.0)) {
    struct Entry {
        std::uint64_t key;
        SegmentRef ref;
    };

    std::vector<Entry> entries;
    for (std::size_t l = 0; l < m_lines.size(); ++l) {
        const std::span<const Point> line = m_lines[l];
        for (std::size_t i = 1; i < line.size(); ++i) {
            const SegmentRef ref{static_cast<std::uint32_t>(l), static_cast<std::uint32_t>(i)};
            const Point a = line[i - 1];
            const Point b = line[i];
            const double x0 = std::floor((std::min(a.x, b.x) - reach) / m_cellSize);
            const double x1 = std::floor((std::max(a.x, b.x) + reach) / m_cellSize);
            const double y0 = std::floor((std::min(a.y, b.y) - reach) / m_cellSize);
            const double y1 = std::floor((std::max(a.y, b.y) + reach) / m_cellSize);
            const bool inRange = finite(a) && finite(b) && x0 > -kIndexLimit && x1 < kIndexLimit &&
                                 y0 > -kIndexLimit && y1 < kIndexLimit;
            if (!inRange || (x1 - x0 + 1.0) * (y1 - y0 + 1.0) > kMaxCellsPerSegment) {
                m_wide.push_back(ref);
                continue;
            }
            for (auto y = static_cast<std::int64_t>(y0); y <= static_cast<std::int64_t>(y1); ++y) {
                for (auto x = static_cast<std::int64_t>(x0); x <= static_cast<std::int64_t>(x1);
                     ++x) {
                    entries.push_back({keyOf(x, y), ref});
                }
            }
        }
    }
    // By cell, and within a cell by line and segment, as the queries give them.
    std::sort(entries.begin(), entries.end(), [](const Entry& l, const Entry& r) {
        return std::tie(l.key, l.ref.line, l.ref.segment) <
               std::tie(r.key, r.ref.line, r.ref.segment);
    });
    m_entries.reserve(entries.size());
    for (const Entry& entry : entries) {
        if (m_cellKeys.empty() || m_cellKeys.back() != entry.key) {
            m_cellKeys.push_back(entry.key);
            m_cellStart.push_back(static_cast<std::uint32_t>(m_entries.size()));
        }
        m_entries.push_back(entry.ref);
    }
    m_cellStart.push_back(static_cast<std::uint32_t>(m_entries.size()));
}

std::optional<std::uint64_t> SegmentGrid::cellKey(double x, double y) const {
    const double column = std::floor(x / m_cellSize);
    const double row = std::floor(y / m_cellSize);
    // Written so that a coordinate that is not a number falls outside.
    if (!(column > -kIndexLimit && column < kIndexLimit && row > -kIndexLimit &&
          row < kIndexLimit)) {
        return std::nullopt;
    }
    return keyOf(static_cast<std::int64_t>(column), static_cast<std::int64_t>(row));
}

// The distance from p to the closed box of the segment, compared without a square root. A
// segment with an end that is not a finite number has no box to speak of: it is left in, and the
// measures decide about it.
bool SegmentGrid::withinReach(Point p, SegmentRef ref) const {
    const std::span<const Point> line = m_lines[ref.line];
    const Point a = line[ref.segment - 1];
    const Point b = line[ref.segment];
    if (!finite(a) || !finite(b)) {
        return true;
    }
    const double dx = std::max({std::min(a.x, b.x) - p.x, p.x - std::max(a.x, b.x), 0.0});
    const double dy = std::max({std::min(a.y, b.y) - p.y, p.y - std::max(a.y, b.y), 0.0});
    return !(dx * dx + dy * dy > m_reach * m_reach);
}

void SegmentGrid::near(Point p, std::vector<SegmentRef>& out) const {
    out.clear();
    if (!finite(p)) {
        return;
    }
    if (const std::optional<std::uint64_t> key = cellKey(p.x, p.y)) {
        const auto found = std::lower_bound(m_cellKeys.begin(), m_cellKeys.end(), *key);
        if (found != m_cellKeys.end() && *found == *key) {
            const auto cell = static_cast<std::size_t>(found - m_cellKeys.begin());
            for (std::uint32_t e = m_cellStart[cell]; e < m_cellStart[cell + 1]; ++e) {
                if (withinReach(p, m_entries[e])) {
                    out.push_back(m_entries[e]);
                }
            }
        }
    }
    if (m_wide.empty()) {
        return;
    }
    const std::size_t fromCells = out.size();
    for (const SegmentRef& ref : m_wide) {
        if (withinReach(p, ref)) {
            out.push_back(ref);
        }
    }
    std::inplace_merge(out.begin(),
                       out.begin() + static_cast<std::ptrdiff_t>(fromCells),
                       out.end(),
                       [](SegmentRef l, SegmentRef r) {
                           return std::tie(l.line, l.segment) < std::tie(r.line, r.segment);
                       });
}

} // namespace tramela::network
