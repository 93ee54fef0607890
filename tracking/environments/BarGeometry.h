#pragma once
// Closed-form placement of the camera relative to one seen bar.

#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

// The camera in the plane through itself and the bar, which runs from the first marker
// (fraction 0) to the last (fraction 1) with the middle marker at middleRatio.
struct BarPlacement {
    double u;            // foot point of the camera on the bar's line, fraction of barLength from the first marker
    double e;            // distance of the camera from the bar's line, metres
    double distance[3];  // camera to first, middle and last marker, metres
};

// From the unit rays r0, r1, r2 towards the first, middle and last marker (q = middleRatio,
// L = barLength), in double precision:
//     c01 = r0.r1, c21 = r2.r1
//     h = q c01 / sqrt(1 - c01^2),  m = (1 - q) c21 / sqrt(1 - c21^2) - h
//     u = (q - m h) / (m^2 + 1),    e = (u m + h) L
//     d0 = |(u L, e)|,  d1 = |((q - u) L, e)|,  d2 = |((1 - u) L, e)|
// so that d_k r_k are the markers in the camera frame.
BarPlacement solveBar(const Vec3f& r0, const Vec3f& r1, const Vec3f& r2, float barLength, float middleRatio);

} // namespace Kestrel::Orb::Tracking
