#include "tracking/environments/BarGeometry.h"

#include <cmath>

namespace Kestrel::Orb::Tracking {

BarPlacement solveBar(const Vec3f& r0, const Vec3f& r1, const Vec3f& r2, float barLength, float middleRatio) {
    auto dot = [](const Vec3f& a, const Vec3f& b) {
        return double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2];
    };
    const double q = middleRatio, length = barLength;
    const double c01 = dot(r0, r1), c21 = dot(r2, r1);
    // h and m + h are the cotangents of the angles at the camera, scaled by the bar's pieces.
    const double h = q * c01 / std::sqrt(1 - c01 * c01);
    const double m = (1 - q) * c21 / std::sqrt(1 - c21 * c21) - h;
    const double u = (q - m * h) / (m * m + 1);
    const double e = (u * m + h) * length;
    BarPlacement placement{u, e, {}};
    placement.distance[0] = std::hypot(u * length, e);
    placement.distance[1] = std::hypot((q - u) * length, e);
    placement.distance[2] = std::hypot((1 - u) * length, e);
    return placement;
}

} // namespace Kestrel::Orb::Tracking
