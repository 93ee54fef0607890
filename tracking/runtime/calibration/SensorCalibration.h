#pragma once
// The accelerometer and gyroscope calibration at one temperature: a 3 by 3 matrix and a bias,
// every entry offset + slope * T of the stored TemperatureLinearCalibration.

#include <array>
#include <cstdint>

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/calibration/GeometrySettings.h"

namespace Kestrel::Orb::Tracking {

struct SensorCalibration {
    std::array<std::array<float, 3>, 3> matrix{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    std::array<float, 3> bias{};

    static SensorCalibration atTemperature(const TemperatureLinearCalibration& stored, float temperature);

    // result = M (raw * scale - bias), with raw the three signed 16-bit axes.
    KestrelMath::vector3<float> apply(const std::array<int16_t, 3>& raw, float scale) const;
};

} // namespace Kestrel::Orb::Tracking
