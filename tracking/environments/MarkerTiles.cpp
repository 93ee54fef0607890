#include "tracking/environments/MarkerTiles.h"

#include "tracking/environments/OrbEnvironmentRigid.h"

namespace Kestrel::Orb::Tracking {

std::vector<TileCell> markerTiles(IEnvironment* environment) {
    const auto* rigid = dynamic_cast<const OrbEnvironmentRigid*>(nativeEnvironment(environment));
    if (!rigid)
        return {};
    // Tile entry t carries markers 3 t, 3 t + 1 and 3 t + 2.
    std::vector<TileCell> cells;
    cells.reserve(rigid->tiles.size() * 3);
    for (const RigidTile& tile : rigid->tiles)
        for (int k = 0; k < 3; ++k)
            cells.push_back(TileCell{int32_t(tile.x), int32_t(tile.y)});
    return cells;
}

} // namespace Kestrel::Orb::Tracking
