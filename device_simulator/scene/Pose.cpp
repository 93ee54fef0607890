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

} // namespace Kestrel::DeviceSimulator
