#pragma once
// The single-precision copy of an InertialLeap that travels with a frame: 29 floats, 116 bytes,
// in this order: duration, position delta (3), velocity delta (3), rotation (x, y, z, w),
// position sensitivity (9, row by row), velocity sensitivity (9, row by row).

#include "tracking/runtime/inertial/InertialLeap.h"

namespace Kestrel::Orb::Tracking {

struct LeapSummary {
    float duration = 0;
    float positionDelta[3] = {};
    float velocityDelta[3] = {};
    float rotation[4] = {0, 0, 0, 1};
    float positionSensitivity[9] = {};
    float velocitySensitivity[9] = {};

    template <class T>
    static LeapSummary of(const InertialLeap<T>& leap) {
        LeapSummary s;
        s.duration = float(leap.duration);
        for (int i = 0; i < 3; ++i) {
            s.positionDelta[i] = float(leap.positionDelta[i]);
            s.velocityDelta[i] = float(leap.velocityDelta[i]);
        }
        s.rotation[0] = float(leap.rotation.x);
        s.rotation[1] = float(leap.rotation.y);
        s.rotation[2] = float(leap.rotation.z);
        s.rotation[3] = float(leap.rotation.w);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column) {
                s.positionSensitivity[row * 3 + column] = float(leap.positionSensitivity(row, column));
                s.velocitySensitivity[row * 3 + column] = float(leap.velocitySensitivity(row, column));
            }
        return s;
    }
};

static_assert(sizeof(LeapSummary) == 116, "the leap summary is 29 floats");

} // namespace Kestrel::Orb::Tracking
