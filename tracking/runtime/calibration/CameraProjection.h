#pragma once
// The unified camera model as the tracking pipeline uses it. Directions are in the tracker's
// camera frame, optical axis +z; image points are normalized coordinates, the unit disk being
// the edge of the model's domain:
//
//     P(v) = (u_x, u_y) / |(u_x, u_y, u_z + xi)|,  u = v / |v|
//
// Points outside the unit disk stand for directions with u_z + xi < 0 (folded by 1 / r^2).

#include "interface_contract/KestrelMath.h"

namespace Kestrel::Orb::Tracking {

using Vec2f = KestrelMath::vector<float, 2>;
using Vec3f = KestrelMath::vector<float, 3>;

// Unit direction of the image point (x, y): the inverse of P.
Vec3f directionFromImagePoint(float x, float y, float xi);

// J = -dP/dv at the unit direction d, 2 by 3 row by row, in closed form.
void projectionDerivative(const Vec3f& d, float xi, float out[6]);

} // namespace Kestrel::Orb::Tracking
