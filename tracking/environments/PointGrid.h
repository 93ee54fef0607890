#pragma once
// A uniform 2D bucket grid over a point set, for finding the points near a position.

#include <cstdint>
#include <vector>

#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

struct PointGrid {
    int32_t columns = 1;
    int32_t rows = 1;
    float originX = 0;  // minimum x of the points
    float originY = 0;  // minimum y of the points
    float cellWidth = 0;
    float cellHeight = 0;
    std::vector<Vec2f> points;   // in input order
    std::vector<int32_t> next;   // per point: the next point of its cell, -1 at the end
    std::vector<int32_t> first;  // per cell (column * rows + row): its first point, -1 when empty

    // Rebuilds the grid over `points`, aiming at `averagePointsPerCell` points per cell.
    // Throws std::invalid_argument("Invalid argument: averagePointsPerCell") unless it is > 0.
    void build(const std::vector<Vec2f>& points, float averagePointsPerCell);

    // Indices of the points within `radius` (inclusive) of `centre`, cell by cell: columns
    // ascending, rows ascending within a column, each cell's points in index order.
    std::vector<std::size_t> query(const Vec2f& centre, float radius) const;

    int32_t columnOf(float x) const;
    int32_t rowOf(float y) const;
};

} // namespace Kestrel::Orb::Tracking
