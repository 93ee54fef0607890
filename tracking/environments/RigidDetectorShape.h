#pragma once
// The bar detector's acceptance ellipse for a rigid layout.
//
// Decision: every other marker of the layout is expressed in the frame of each bar (u along
// first-to-last, v across, origin at the bar's midpoint, bar length 1), keeping those within
// 2 bar lengths. The ellipse is centred on the midpoint; it is searched as semi-axis a along a
// direction alpha and the largest semi-axis b across it that leaves every such marker outside.
// The search starts from the circle through the nearest marker (radius e), then for 32
// directions alpha = k pi/32 lowers a from e towards sqrt(size/3) in 20 steps of
// (e - sqrt(size/3)) / 20, size being the best a * b so far, while that step exceeds 0.001.
// Objective: the largest area a * b whose ellipse, scaled for detection, still holds the
// bar's own middle marker. The ellipse {M x : |x| < 1} is turned into the detector's form
// [[along, shear], [0, across]] with the same M M^T (along >= 0, across > 0), and the shape is
// (along, across, shear), i.e. the detector's numbers at scale 1.

#include <array>
#include <vector>

#include "tracking/environments/EnvironmentCode.h"
#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

// `barTemplate`: a bar's three markers (first, middle, last) in a tile centred at the origin,
// per orientation; `tiles`: the layout, each cell once. `middleRatio` and `scale` say where the
// middle marker must stay inside. Fewer than two tiles, or no ellipse that holds the middle
// marker: the default (0.6, 0.6, 0.0). Each distinct neighbour (cell offset and orientations
// seen from a bar) counts once, so the cost grows with the layout's variety, not its size; a
// layout whose bars see more than 65536 distinct neighbour markers gets the default.
Vec3f searchDetectorShape(const std::array<std::array<Vec2f, 3>, 4>& barTemplate, const std::vector<RigidTile>& tiles,
                          float tileSize, float middleRatio, float scale);

// Whether (u, v) lies inside the detector ellipse of `shape` at `scale` (as findBars tests it).
bool insideDetectorEllipse(const Vec3f& shape, float scale, double u, double v);

} // namespace Kestrel::Orb::Tracking
