#pragma once
// The tracker's motion since the last frame boundary, integrated from the calibrated inertial
// samples, in the frame of the leap's start.
//
// Per accelerometer sample a (in g), with dt = 5e-4 s, h = dt^2 / 2 and R the leap rotation:
//   A = 9.81 R a
//   position delta += velocity delta dt + A h,     velocity delta += A dt
//   position sensitivity += velocity sensitivity dt + 9.81 R h,
//   velocity sensitivity += 9.81 R dt,              duration += dt
// The sensitivities are d(delta)/d(accelerometer correction): a correction c added to every
// sample moves the deltas by (sensitivity * c).

#include <Eigen/Core>

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/inertial/InertialMath.h"

namespace Kestrel::Orb::Tracking {

constexpr double standardGravity = 9.81;         // m/s^2 per g
constexpr double inertialSampleInterval = 5e-4;  // s, 2000 samples per second

template <class T>
struct InertialLeap {
    using Vector = KestrelMath::vector<T, 3>;
    using Matrix = Eigen::Matrix<T, 3, 3>;

    T duration = 0;
    Vector positionDelta{};
    Vector velocityDelta{};
    KestrelMath::quaternion<T> rotation = KestrelMath::quaternion<T>::identity();
    Matrix positionSensitivity = Matrix::Zero();
    Matrix velocitySensitivity = Matrix::Zero();

    // rotation := rotation (x) q, q the rotation of one gyroscope sample.
    void rotate(const KestrelMath::quaternion<T>& q) { rotation = rotation * q; }

    void accelerate(const Vector& acceleration) {
        const T dt = T(inertialSampleInterval);
        const T h = dt * dt / 2;  // 1.25e-7
        const Matrix r = rotationMatrix(rotation);
        const Matrix g = r * T(standardGravity);
        const Vector a = fromEigen<T>(g * toEigen(acceleration));
        positionDelta += velocityDelta * dt + a * h;
        velocityDelta += a * dt;
        positionSensitivity += velocitySensitivity * dt + g * h;
        velocitySensitivity += g * dt;
        duration += dt;
    }

    void reset() { *this = InertialLeap(); }
};

} // namespace Kestrel::Orb::Tracking
