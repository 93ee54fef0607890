#pragma once
// Whether a direction in the camera frame lands well inside the image: in front of the
// unified model's fold, within a share of the field of view's radius and inside the sensor's
// outline. Used to say which markers (and stray sources) the camera should have seen at the
// tracked pose.

#include <vector>

#include "tracking/runtime/pipeline/TrackingObserver.h"

namespace Kestrel::Orb::Tracking::Health {

class ViewTest {
public:
    ViewTest() = default;
    // `radiusShare` (0..1] of the view's radius counts; the outline is shrunk towards the image
    // centre by the same share.
    ViewTest(const CameraView& view, double radiusShare);

    bool known() const { return known_; }
    // `direction` need not be unit. The image point is P(u) = (u_x, u_y) / |(u_x, u_y, u_z + xi)|.
    bool inView(double x, double y, double z) const;

private:
    bool insideOutline(double x, double y) const;

    bool known_ = false;
    double xi_ = 0;
    double radiusSquared_ = 1;
    double share_ = 1;
    std::vector<KestrelMath::vector<float, 2>> outline_;
};

} // namespace Kestrel::Orb::Tracking::Health
