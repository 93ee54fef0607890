#pragma once
// The "QuadrangleDebug" page: the self-refining quadrangle's corner estimates. Corner d holds the
// pose of the bar of side d + 1 in the frame of the bar of side d; the page draws, for each of
// the four corners, side d's bar along X and side d + 1's bar where this frame saw it (blue)
// and where the accumulated estimate puts it (red), each with the weights behind it.

#include "engine/LinedMeshConstructor.h"
#include "tracking/environments/EnvironmentTypes.h"
#include "tracking/environments/ReferenceCorner.h"

namespace TrackingDebug {

// Where corner d is drawn: (-3, -3), (3, -3), (3, 3), (-3, 3) in the XZ plane.
Kestrel::Orb::Tracking::Vec2f quadrangleSlot(int corner);

// Draws the data of the quadrangle's reference-corner hook: this frame's corners (those it saw),
// the accumulated corners and the bar length.
void drawQuadrangleDebug(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                         const Kestrel::Orb::Tracking::CornerObservations& observed,
                         const Kestrel::Orb::Tracking::AccumulatedCorners& accumulated, float barLength);

} // namespace TrackingDebug
