#pragma once
// Tracking Debug pages drawn from an environment's own hooks: the bars the detector found in
// the projected rays, and, for a rigid tile floor, how one group of bars lines up with the tile
// grid and the pose estimate it gave.

#include <vector>

#include "engine/LinedMeshConstructor.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

namespace TrackingDebug {

// Segments of the closed curves on the "All Patterns" page.
constexpr int patternCurveSegments = 128;

// "All Patterns": the detector's acceptance ellipse for a pair of unit length (the unit circle
// under [[along, shear], [0, across]], see findBars) in the current colour; then in grey every
// projected point as a small circle with its index, and every bar as its two halves with the
// acceptance ellipse of its end pair around the pair's midpoint. Leaves the current colour at
// (1, 0, 0, 255).
void drawAllPatterns(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                     const std::vector<Kestrel::Orb::Tracking::Vec2f>& points,
                     const std::vector<Kestrel::Orb::Tracking::Bar>& bars, const Kestrel::Orb::Tracking::Vec3f& shape,
                     float scale);

// "Alignment": a black grid of 12 x 12 cells of `spacing` centred on the first reference point,
// and a red circle at every reference point of the group, relative to the first one.
void drawAlignment(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                   const std::vector<Kestrel::Orb::Tracking::Vec2f>& references, float spacing);

// "Homography": for every bar of the group and each of its three points, the point's ray turned
// by the estimate's rotation from the camera at height h, as far as the point's distance, and a
// dot where the ray meets the floor y = 0. Indices outside the lists are skipped.
void drawHomography(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                    const Kestrel::Orb::Tracking::HomographyTransform& transform,
                    const std::vector<Kestrel::Orb::Tracking::Vec3f>& rays,
                    const std::vector<Kestrel::Orb::Tracking::Vec3f>& barDistances,
                    const std::vector<Kestrel::Orb::Tracking::Bar>& bars, const std::vector<std::size_t>& group);

} // namespace TrackingDebug
