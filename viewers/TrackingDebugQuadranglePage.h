#pragma once
// The "QuadrangleDebug" page: the self-refining quadrangle's corner estimates. Corner d holds the
// pose of the bar of side d + 1 in the frame of the bar of side d; the page draws, for each of
// the four corners, side d's bar along X and side d + 1's bar where this frame saw it (blue)
// and where the accumulated estimate puts it (red), each with the weights behind it.

#include <array>
#include <optional>

#include "engine/LinedMeshConstructor.h"
#include "tracking/environments/EnvironmentTypes.h"

namespace TrackingDebug {

// One corner estimate: offset (x, y) and heading difference (radians) with a weight for each.
struct QuadrangleCorner {
    Kestrel::Orb::Tracking::Vec2f offset;
    float heading = 0;
    Kestrel::Orb::Tracking::Vec3f weights;  // of x, y and heading
};

struct QuadrangleSnapshot {
    std::array<std::optional<QuadrangleCorner>, 4> observed;  // this frame's corners, when seen
    std::array<QuadrangleCorner, 4> accumulated;
    float barLength = 0;
};

// Where corner d is drawn: (-3, -3), (3, -3), (3, 3), (-3, 3) in the XZ plane.
Kestrel::Orb::Tracking::Vec2f quadrangleSlot(int corner);

void drawQuadrangleDebug(KestrelQt3DEngine::LinedMeshConstructor& geometry, const QuadrangleSnapshot& snapshot);

} // namespace TrackingDebug
