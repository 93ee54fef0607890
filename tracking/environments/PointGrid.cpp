#include "tracking/environments/PointGrid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Kestrel::Orb::Tracking {

namespace {

// Rounded to the nearest integer, halves away from zero, and never below 1.
int32_t atLeastOne(double count) {
    const double rounded = std::round(count);
    return rounded >= 1 ? int32_t(rounded) : 1;
}

// floor((value - origin) / size) clamped to [0, count - 1]. Clamping happens before the
// conversion so that a far, infinite or NaN coordinate (or a zero-sized cell) lands in a border
// cell instead of overflowing the integer.
int32_t cellIndex(float value, float origin, float size, int32_t count) {
    const double cell = std::floor((double(value) - double(origin)) / double(size));
    if (!(cell > 0))
        return 0;
    if (cell >= double(count - 1))
        return count - 1;
    return int32_t(cell);
}

} // namespace

int32_t PointGrid::columnOf(float x) const { return cellIndex(x, originX, cellWidth, columns); }
int32_t PointGrid::rowOf(float y) const { return cellIndex(y, originY, cellHeight, rows); }

void PointGrid::build(const std::vector<Vec2f>& input, float averagePointsPerCell) {
    if (!(averagePointsPerCell > 0))
        throw std::invalid_argument("Invalid argument: averagePointsPerCell");

    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    if (!input.empty()) {
        minX = maxX = input[0].x();
        minY = maxY = input[0].y();
        for (const Vec2f& p : input) {
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
    }
    const float width = maxX - minX;
    const float height = maxY - minY;

    if (width <= 1e-4f && height <= 1e-4f) {
        columns = 1;
        rows = 1;
    } else {
        const float cells = float(input.size()) / averagePointsPerCell;
        if (width < height / cells) {
            columns = 1;
            rows = atLeastOne(cells);
        } else if (height < width / cells) {
            columns = atLeastOne(cells);
            rows = 1;
        } else {
            // In double: cells * width overflows a float for extents near the float range,
            // although the quotient is at most cells here.
            columns = atLeastOne(std::sqrt(double(cells) * width / height));
            rows = atLeastOne(std::sqrt(double(cells) * height / width));
        }
    }
    cellWidth = width / float(columns);
    cellHeight = height / float(rows);
    originX = minX;
    originY = minY;

    points = input;
    next.assign(points.size(), -1);
    first.assign(std::size_t(columns) * std::size_t(rows), -1);
    // Tail of every chain, so that appending keeps each chain in ascending index order.
    std::vector<int32_t> last(first.size(), -1);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::size_t cell = std::size_t(columnOf(points[i].x())) * std::size_t(rows) + std::size_t(rowOf(points[i].y()));
        if (last[cell] < 0)
            first[cell] = int32_t(i);
        else
            next[std::size_t(last[cell])] = int32_t(i);
        last[cell] = int32_t(i);
    }
}

std::vector<std::size_t> PointGrid::query(const Vec2f& centre, float radius) const {
    std::vector<std::size_t> found;
    if (first.empty())  // never built
        return found;
    const int32_t column0 = columnOf(centre.x() - radius), column1 = columnOf(centre.x() + radius);
    const int32_t row0 = rowOf(centre.y() - radius), row1 = rowOf(centre.y() + radius);
    const float radiusSquared = radius * radius;
    for (int32_t column = column0; column <= column1; ++column) {
        for (int32_t row = row0; row <= row1; ++row) {
            for (int32_t i = first[std::size_t(column) * std::size_t(rows) + std::size_t(row)]; i >= 0; i = next[std::size_t(i)]) {
                const Vec2f offset = points[std::size_t(i)] - centre;
                if (KestrelMath::dot(offset, offset) <= radiusSquared)
                    found.push_back(std::size_t(i));
            }
        }
    }
    return found;
}

} // namespace Kestrel::Orb::Tracking
