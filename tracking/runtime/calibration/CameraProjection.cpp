#include "tracking/runtime/calibration/CameraProjection.h"

#include <cmath>

namespace Kestrel::Orb::Tracking {

Vec3f directionFromImagePoint(float x, float y, float xi) {
    // P maps a unit direction to p = (d_x, d_y) / |(d_x, d_y, d_z + xi)|; the point on the unit
    // sphere shifted by xi is (p_x, p_y, w) with w = +-sqrt(1 - |p|^2), so d = k (p, w) - (0, 0, xi)
    // with k the positive root of k^2 - 2 k xi w + xi^2 - 1 = 0 that makes |d| = 1.
    double h = double(x) * x + double(y) * y;
    double px = x, py = y, w;
    if (h > 1.0) {
        px = x / h;
        py = y / h;
        h = 1.0 / h;
        w = -std::sqrt(1.0 - h);
    } else {
        w = std::sqrt(1.0 - h);
    }
    const double xi2 = double(xi) * xi;
    const double k = std::sqrt(xi2 * (1.0 - h) - xi2 + 1.0) + xi * w;
    return {{float(k * px), float(k * py), float(k * w - xi)}};
}

void projectionDerivative(const Vec3f& d, float xi, float out[6]) {
    const double dx = d[0], dy = d[1], dz = d[2];
    const double n = 1.0 / std::sqrt(dx * dx + dy * dy + (dz + xi) * (dz + xi));
    const double px = dx * n, py = dy * n;
    const double t = (dz + xi) * n;
    const double gx = (t * xi * dx + dx * n) * n;
    const double gy = (t * xi * dy + dy * n) * n;
    const double gz = (t * xi * dz + t) * n;
    out[0] = float(-n + px * gx);
    out[1] = float(px * gy);
    out[2] = float(px * gz);
    out[3] = float(py * gx);
    out[4] = float(-n + py * gy);
    out[5] = float(py * gz);
}

} // namespace Kestrel::Orb::Tracking
