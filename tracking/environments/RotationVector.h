#pragma once
// Small rotations as 3-vectors: the cross-product matrix and the exact rotation of a vector.

#include <Eigen/Core>
#include <Eigen/Geometry>

namespace Kestrel::Orb::Tracking {

// [v]x, so that skew(v) w = v x w.
inline Eigen::Matrix3d skew(const Eigen::Vector3d& v) {
    Eigen::Matrix3d s;
    s << 0, -v.z(), v.y(), v.z(), 0, -v.x(), -v.y(), v.x(), 0;
    return s;
}

// The rotation by |r| about r (identity for r = 0).
inline Eigen::Quaterniond rotationFromVector(const Eigen::Vector3d& r) {
    const double angle = r.norm();
    if (angle == 0)
        return Eigen::Quaterniond::Identity();
    return Eigen::Quaterniond(Eigen::AngleAxisd(angle, r / angle));
}

} // namespace Kestrel::Orb::Tracking
