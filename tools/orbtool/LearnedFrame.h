#pragma once
// A self-refining environment learns its layout in a frame of its own: side 0's bar centred at
// the origin, running along +x. The simulator's ground truth is in the room's frame, where
// that bar lies at (x0, 0, z0) with heading h0 (from +x towards +z). The turn about +y by h0
// brings the bar's direction (cos h0, 0, sin h0) onto +x, so
//     p' = Ry(h0) (p - (x0, 0, z0)),   q' = q_y(h0) q,   q_y(h0) = (0, sin(h0/2), 0, cos(h0/2)).

#include <cmath>

#include "device_simulator/scene/Scenario.h"

namespace OrbTool {

// truth: x, y, z, qx, qy, qz, qw; rewritten in the learned frame.
inline void toLearnedFrame(const Kestrel::DeviceSimulator::BarPlacement& side0, double truth[7]) {
    const double c = std::cos(side0.heading), s = std::sin(side0.heading);
    const double dx = truth[0] - side0.x, dz = truth[2] - side0.z;
    truth[0] = c * dx + s * dz;
    truth[2] = -s * dx + c * dz;
    const double hy = std::sin(side0.heading / 2), hw = std::cos(side0.heading / 2);
    const double x = truth[3], y = truth[4], z = truth[5], w = truth[6];
    // (0, hy, 0, hw) * (x, y, z, w)
    truth[3] = hw * x + hy * z;
    truth[4] = hw * y + hy * w;
    truth[5] = hw * z - hy * x;
    truth[6] = hw * w - hy * y;
}

} // namespace OrbTool
