#pragma once
// The tracker's pose as the optimiser estimates it, at the time of the newest frame; the
// shared pose of the tracking state has the same layout.

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/inertial/LeapSummary.h"

namespace Kestrel::Orb::Tracking {

struct OptimizerState {
    KestrelMath::vector<float, 3> position;
    KestrelMath::quaternion<float> rotation;  // tracker frame to environment
    KestrelMath::vector<float, 3> velocity;
    KestrelMath::vector<float, 3> accelerometerCorrection;  // g, tracker frame
};

// Carries the state over one leap, gravity included (once):
//     p += v dt + R (dp + Sp c);  v += R (dv + Sv c);  R := R * q;
//     p.y -= 4.905 dt^2;  v.y -= 9.81 dt
void propagate(OptimizerState& state, const LeapSummary& leap);

// The leap's rotation as a quaternion.
inline KestrelMath::quaternion<float> leapRotation(const LeapSummary& leap) {
    return {leap.rotation[0], leap.rotation[1], leap.rotation[2], leap.rotation[3]};
}

} // namespace Kestrel::Orb::Tracking
