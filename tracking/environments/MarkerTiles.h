#pragma once
// Where each marker sits on a layout of tiles: the tile (column, row) of its bar. Lets a report
// name a marker the way the person who laid the tiles finds it ("tile 3,2").

#include <cstdint>
#include <vector>

#include "tracking/environments/EnvironmentInterfaces.h"

namespace Kestrel::Orb::Tracking {

struct TileCell {
    int32_t column = 0;  // along x, 0-based
    int32_t row = 0;     // along z, 0-based
};

// One cell per marker, in marker order, for a rigid tile layout; empty for an environment
// without tiles, one of another library, or none.
std::vector<TileCell> markerTiles(IEnvironment* environment);

} // namespace Kestrel::Orb::Tracking
