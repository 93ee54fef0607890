#pragma once
// A dense map from integer tile cells (x, y) to entries of an item list: the rigid layout's
// occupancy. Cells outside the bounds are never occupied.

#include <cstdint>
#include <optional>
#include <vector>

namespace Kestrel::Orb::Tracking {

struct RigidFieldItem {
    uint64_t cell = 0;   // y in the high 32 bits, x in the low 32 bits
    int32_t datum = 0;   // the tile's orientation
};

// Packs a cell the way RigidFieldItem::cell holds it.
constexpr uint64_t rigidCell(int32_t x, int32_t y) { return (uint64_t(uint32_t(y)) << 32) | uint32_t(x); }
constexpr int32_t rigidCellX(uint64_t cell) { return int32_t(uint32_t(cell & 0xFFFFFFFFu)); }
constexpr int32_t rigidCellY(uint64_t cell) { return int32_t(uint32_t(cell >> 32)); }

struct RigidCellRect {
    int32_t minX, minY, maxX, maxY;  // inclusive
};

class OrbEnvironmentRigidField {
public:
    // Bounds are inclusive; an empty range (max < min) holds no cell.
    OrbEnvironmentRigidField(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY);
    virtual ~OrbEnvironmentRigidField() = default;

    // Appends the item and points its cell at it (a later item for the same cell wins; the
    // earlier one stays in the list but is no longer found). An item outside the bounds is
    // refused with std::out_of_range.
    virtual void add(const RigidFieldItem& item);
    // Frees the cell if occupied: the last item moves into the freed slot.
    virtual void remove(uint64_t cell);
    // Every cell empty, list emptied.
    virtual void clear();

    // Item index of the cell, -1 when empty or outside the bounds.
    int32_t find(int32_t x, int32_t y) const;
    int32_t find(uint64_t cell) const { return find(rigidCellX(cell), rigidCellY(cell)); }
    std::optional<RigidFieldItem> item(int32_t index) const;
    // Item indices of the occupied cells of `rect` (clamped to the bounds), column by column.
    std::vector<int32_t> itemsInRect(RigidCellRect rect) const;

    const int32_t minX, minY, maxX, maxY;
    const std::vector<RigidFieldItem>& items() const { return items_; }

private:
    bool inside(int32_t x, int32_t y) const { return x >= minX && x <= maxX && y >= minY && y <= maxY; }
    std::size_t slot(int32_t x, int32_t y) const {
        return std::size_t(int64_t(y) - minY) * std::size_t(int64_t(maxX) - minX + 1) + std::size_t(int64_t(x) - minX);
    }

    std::vector<int32_t> cells_;  // row-major by y
    std::vector<RigidFieldItem> items_;
};

} // namespace Kestrel::Orb::Tracking
