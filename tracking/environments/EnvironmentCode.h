#pragma once
// The environment code: base64 text of a small binary record (all little-endian):
//     version   varint, 0
//     kind      string (varint length + bytes): "Single", "Quad" or "Rigid"
//     payload   bytes (varint length + bytes), by kind:
//   Single, Quad: barLength float32, middleRatio float32
//   Rigid v1: version varint 1, name string, width varint, depth varint, barLength, middleRatio,
//             barAngle, barOffsetX, barOffsetY float32, ceiling uint8, planeHeight, tileSize
//             float32, tile count varint, then per tile x varint, y varint, orientation uint8
//   Rigid v0: version varint 0, preset string, width, depth, tiles as above; the preset's
//             numbers stand in for the missing fields (RigidPresets.h).
// Reading checks every field against the end of its record, so a code that ends early is a
// runtime error naming the field, never a read past the buffer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interface_contract/Base64.h"

namespace Kestrel::Orb::Tracking {

using Codec::decodeBase64;

struct BarParameters {
    float barLength = 0;
    float middleRatio = 0;
};

struct RigidTile {
    uint32_t x = 0;            // tile column, 0-based, below width
    uint32_t y = 0;            // tile row, 0-based, below depth (environment z)
    uint8_t orientation = 0;   // quarter turns of the bar; only the low two bits count
};

struct RigidParameters {
    uint64_t version = 1;   // payload version as written: 0 names a preset
    std::string name;       // version 1: informational only
    std::string preset;     // version 0: the preset the numbers below came from
    uint32_t width = 0;     // tile columns along x
    uint32_t depth = 0;     // tile rows along z
    float barLength = 0;
    float middleRatio = 0;
    float barAngle = 0;     // radians, the bar's turn inside its tile
    float barOffsetX = 0;   // bar centre from the tile centre, metres, tile x
    float barOffsetY = 0;   // same, tile y (environment z)
    bool ceiling = false;   // the tiles are on the ceiling, markers face down
    float planeHeight = 0;  // y of the marker plane
    float tileSize = 0;     // edge of a square tile, metres
    std::vector<RigidTile> tiles;
};

// Layouts beyond these are refused as corrupt rather than allocated. Building a rigid
// environment costs time and memory in proportion to its tiles (a fully tiled 64 x 64 floor
// is the most it builds in a few seconds), so a code with more tiles is refused up front.
constexpr uint32_t maximumRigidGridSide = 4096;
constexpr uint64_t maximumRigidGridCells = uint64_t(1) << 20;
constexpr uint64_t maximumRigidTiles = 4096;

// Sizes no tracker could ever see or tell apart, refused as well (all in metres):
//   barLength and tileSize       from minimumBarOrTile (1 cm) to maximumBarOrTile (100 m);
//   middleRatio                  from minimumMiddleRatio to maximumMiddleRatio (0.01 to 0.99): at
//                                0 or 1 the middle marker lies on an end marker, and two markers
//                                in one place can never be matched;
//   barOffsetX, barOffsetY       at most maximumBarOrTile from the tile centre;
//   planeHeight                  at most maximumLayoutExtent (10 km) from 0;
//   width * tileSize, depth * tileSize   at most maximumLayoutExtent: beyond it a float marker
//                                position is coarser than half a millimetre.
// The bounds include their end values; NaN and infinities are refused as not finite.
constexpr float minimumBarOrTile = 0.01f;
constexpr float maximumBarOrTile = 100.0f;
constexpr float minimumMiddleRatio = 0.01f;
constexpr float maximumMiddleRatio = 0.99f;
constexpr float maximumLayoutExtent = 10000.0f;

struct EnvironmentCode {
    std::string kind;
    std::size_t payloadSize = 0;
    std::optional<BarParameters> bar;      // "Single" and "Quad"
    std::optional<RigidParameters> rigid;  // "Rigid"
};

// Decodes and reads a code. Throws std::runtime_error: "Wrong base64 string",
// "need VersionConverter implementation" (outer version not 0, rigid version not 0 or 1),
// or a message naming the field for a record that ends early, a float that is not finite, a
// grid or a tile count beyond the limits above, a size outside its limits above (the message
// names the field, its value and the limit) or a tile outside the grid. An unknown kind is not
// an error: only `kind` and `payloadSize` are filled. A version 0 code naming an unknown preset
// reads as zeros; building it is refused (checkBuildable).
EnvironmentCode parseEnvironmentCode(std::string_view code);

// Same, from the decoded bytes.
EnvironmentCode readEnvironmentRecord(std::string_view bytes);

// Throws std::runtime_error naming the field, its value and the limit when a size lies outside
// the limits above; the reader runs these on every code it reads, except the zeros of an
// unknown preset, which createEnvironment refuses through them.
void checkBuildable(const BarParameters& bar);
void checkBuildable(const RigidParameters& rigid);

} // namespace Kestrel::Orb::Tracking
