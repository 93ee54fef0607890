#pragma once
// The bar detector: finds triples of 2D points that look like one bar of three collinear
// markers with the middle marker at `middleRatio` of the bar's length from its first end.

#include <cstdint>
#include <vector>

#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

// Ellipse shape and scale that the single and quadrangle kinds use.
constexpr Vec3f defaultDetectorShape{{0.6f, 0.6f, 0.0f}};
constexpr float defaultDetectorScale = 0.9f;

// For every pair of points (i < j, in index order) the other points are expressed relative to
// the pair: u along it (-0.5 at i, +0.5 at j), v across it, both in units of the pair's length.
// The pair's acceptance ellipse is the unit circle under the matrix
//     [[along, shear], [0, across]],  along = (shape[0] - 0.5) * scale + 0.5,
//                                     across = shape[1] * scale, shear = shape[2] * scale.
// A pair with two or more points inside is discarded. With exactly one point k inside, the
// triple is a bar when |v| < 0.01 and |(0.5 - |u|) - middleRatio| < 0.05; it is stored as
// (end nearer to k, k, other end). Bars are listed in the order of their pairs.
// The cost is cubic in the number of points; `tests`, when given, receives the number of
// point-in-ellipse tests made (a pair stops at its second point inside).
std::vector<Bar> findBars(const std::vector<Vec2f>& points, float middleRatio, const Vec3f& shape, float scale,
                          uint64_t* tests = nullptr);

} // namespace Kestrel::Orb::Tracking
