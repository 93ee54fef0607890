#include "device_simulator/scene/Pose.h"

#include <cmath>

namespace Kestrel::DeviceSimulator {

Vec3 rotationVector(const Quat& q) {
    Quat p = q.w < 0 ? Quat{-q.x, -q.y, -q.z, -q.w} : q;
    Vec3 axis{{p.x, p.y, p.z}};
    double s = KestrelMath::length(axis);
    if (s < 1e-300)
        return Vec3{};
    // atan2 keeps full precision for the tiny per-sample rotations of the gyroscope.
    double angle = 2.0 * std::atan2(s, p.w);
    return axis * (angle / s);
}

Quat yawRotation(double angle) { return Quat::fromAxisAngle(Vec3{{0, 1, 0}}, angle); }

Quat lookingDown() {
    // +90 degrees about x turns the tracker's +z onto the environment's -y.
    return Quat::fromAxisAngle(Vec3{{1, 0, 0}}, M_PI / 2);
}

Quat lookingAlong(const Vec3& direction) {
    // A pitch p about x takes +z to (0, -sin p, cos p); a turn a about y then takes that to
    // (cos p sin a, -sin p, cos p cos a).
    const double level = std::hypot(direction[0], direction[2]);
    const double pitch = std::atan2(-direction[1], level);
    const double turn = level > 0 ? std::atan2(direction[0], direction[2]) : 0.0;
    return yawRotation(turn) * Quat::fromAxisAngle(Vec3{{1, 0, 0}}, pitch);
}

} // namespace Kestrel::DeviceSimulator
