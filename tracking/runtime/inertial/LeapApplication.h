#pragma once
// Moving a pose by a leap summary L, with position p, rotation R, velocity v and accelerometer
// correction c:
//   1. p := p + v L.duration + R (L.position delta + position sensitivity c)
//   2. v := v + R (L.velocity delta + velocity sensitivity c)
//   3. R := R (x) L.rotation
//   4. gravity: p.y -= L.duration^2 * 4.905, v.y -= L.duration * 9.81.
// applyLeapMotion does steps 1 to 3, applyLeapSummary all four. Gravity must be taken off
// exactly once: the leap's deltas carry the accelerometer's +1 g of a tracker at rest.

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/inertial/LeapSummary.h"

namespace Kestrel::Orb::Tracking {

template <class T>
void applyLeapMotion(const LeapSummary& leap, KestrelMath::vector<T, 3>& position, KestrelMath::quaternion<T>& rotation,
                     KestrelMath::vector<T, 3>& velocity, const KestrelMath::vector<T, 3>& correction) {
    KestrelMath::vector<T, 3> positionDelta, velocityDelta;
    for (int row = 0; row < 3; ++row) {
        positionDelta[row] = T(leap.positionDelta[row]);
        velocityDelta[row] = T(leap.velocityDelta[row]);
        for (int column = 0; column < 3; ++column) {
            positionDelta[row] += T(leap.positionSensitivity[row * 3 + column]) * correction[column];
            velocityDelta[row] += T(leap.velocitySensitivity[row * 3 + column]) * correction[column];
        }
    }
    const T duration = T(leap.duration);
    position = position + velocity * duration + rotation.rotate(positionDelta);
    velocity = velocity + rotation.rotate(velocityDelta);
    rotation = rotation * KestrelMath::quaternion<T>{T(leap.rotation[0]), T(leap.rotation[1]), T(leap.rotation[2]),
                                                     T(leap.rotation[3])};
}

template <class T>
void applyLeapSummary(const LeapSummary& leap, KestrelMath::vector<T, 3>& position,
                      KestrelMath::quaternion<T>& rotation, KestrelMath::vector<T, 3>& velocity,
                      const KestrelMath::vector<T, 3>& correction) {
    applyLeapMotion(leap, position, rotation, velocity, correction);
    const T duration = T(leap.duration);
    position[1] -= duration * duration * T(standardGravity / 2);
    velocity[1] -= duration * T(standardGravity);
}

} // namespace Kestrel::Orb::Tracking
