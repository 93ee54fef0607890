#pragma once
// Conversions between the tracking code's quaternions and Eigen matrices.

#include <Eigen/Core>

#include "interface_contract/KestrelMath.h"

namespace Kestrel::Orb::Tracking {

// The matrix of v -> q v q* for a unit quaternion q.
template <class T>
Eigen::Matrix<T, 3, 3> rotationMatrix(const KestrelMath::quaternion<T>& q) {
    const T x = q.x, y = q.y, z = q.z, w = q.w;
    Eigen::Matrix<T, 3, 3> m;
    m << 1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w),  //
        2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w),   //
        2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y);
    return m;
}

template <class T>
Eigen::Matrix<T, 3, 1> toEigen(const KestrelMath::vector<T, 3>& v) {
    return {v[0], v[1], v[2]};
}

template <class T>
KestrelMath::vector<T, 3> fromEigen(const Eigen::Matrix<T, 3, 1>& v) {
    return {{v[0], v[1], v[2]}};
}

} // namespace Kestrel::Orb::Tracking
