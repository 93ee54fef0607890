#include "tracking/environments/OrbEnvironmentRigidField.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Kestrel::Orb::Tracking {

OrbEnvironmentRigidField::OrbEnvironmentRigidField(int32_t minX_, int32_t minY_, int32_t maxX_, int32_t maxY_)
    : minX(minX_), minY(minY_), maxX(maxX_), maxY(maxY_) {
    if (maxX >= minX && maxY >= minY)
        cells_.assign(std::size_t(int64_t(maxX) - minX + 1) * std::size_t(int64_t(maxY) - minY + 1), -1);
}

void OrbEnvironmentRigidField::add(const RigidFieldItem& item) {
    const int32_t x = rigidCellX(item.cell), y = rigidCellY(item.cell);
    if (!inside(x, y))
        throw std::out_of_range("OrbEnvironmentRigidField::add(): cell (" + std::to_string(x) + ", " +
                                std::to_string(y) + ") outside the field");
    items_.push_back(item);
    cells_[slot(x, y)] = int32_t(items_.size() - 1);
}

void OrbEnvironmentRigidField::remove(uint64_t cell) {
    const int32_t index = find(cell);
    if (index < 0)
        return;
    const int32_t last = int32_t(items_.size() - 1);
    if (index != last) {
        items_[std::size_t(index)] = items_[std::size_t(last)];
        // The moved item's cell points at its new slot only if it still owned its cell.
        const uint64_t moved = items_[std::size_t(index)].cell;
        int32_t& movedSlot = cells_[slot(rigidCellX(moved), rigidCellY(moved))];
        if (movedSlot == last)
            movedSlot = index;
    }
    items_.pop_back();
    cells_[slot(rigidCellX(cell), rigidCellY(cell))] = -1;
}

void OrbEnvironmentRigidField::clear() {
    std::fill(cells_.begin(), cells_.end(), -1);
    items_.clear();
}

int32_t OrbEnvironmentRigidField::find(int32_t x, int32_t y) const { return inside(x, y) ? cells_[slot(x, y)] : -1; }

std::optional<RigidFieldItem> OrbEnvironmentRigidField::item(int32_t index) const {
    if (index < 0 || std::size_t(index) >= items_.size())
        return std::nullopt;
    return items_[std::size_t(index)];
}

std::vector<int32_t> OrbEnvironmentRigidField::itemsInRect(RigidCellRect rect) const {
    std::vector<int32_t> found;
    rect.minX = std::max(rect.minX, minX);
    rect.minY = std::max(rect.minY, minY);
    rect.maxX = std::min(rect.maxX, maxX);
    rect.maxY = std::min(rect.maxY, maxY);
    for (int32_t x = rect.minX; x <= rect.maxX; ++x)
        for (int32_t y = rect.minY; y <= rect.maxY; ++y)
            if (const int32_t index = cells_[slot(x, y)]; index >= 0)
                found.push_back(index);
    return found;
}

} // namespace Kestrel::Orb::Tracking
