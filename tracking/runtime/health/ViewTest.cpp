#include "tracking/runtime/health/ViewTest.h"

#include <cmath>

namespace Kestrel::Orb::Tracking::Health {

ViewTest::ViewTest(const CameraView& view, double radiusShare)
    : known_(true), xi_(view.xi), radiusSquared_(double(view.maximumRadiusSquared) * radiusShare * radiusShare),
      share_(radiusShare), outline_(view.sensorOutline) {}

bool ViewTest::inView(double x, double y, double z) const {
    if (!known_)
        return false;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0))
        return false;
    x /= length;
    y /= length;
    z /= length;
    if (z + xi_ <= 0)
        return false;
    const double n = std::sqrt(x * x + y * y + (z + xi_) * (z + xi_));
    const double px = x / n, py = y / n;
    if (px * px + py * py > radiusSquared_)
        return false;
    // Shrinking the outline by the share is testing the point pushed outwards by its inverse.
    return outline_.size() < 3 || insideOutline(px / share_, py / share_);
}

bool ViewTest::insideOutline(double x, double y) const {
    // Crossings of a ray towards +x with the outline's edges.
    bool inside = false;
    for (std::size_t i = 0, j = outline_.size() - 1; i < outline_.size(); j = i++) {
        const double xi = outline_[i][0], yi = outline_[i][1], xj = outline_[j][0], yj = outline_[j][1];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

} // namespace Kestrel::Orb::Tracking::Health
