#pragma once
// The tracker's own inertial calibration: per sensor a 3 by 4 affine matrix (rows m0 m1 m2 bias)
// whose twelve entries are each linear in temperature, entry = offset + slope * T.
// The host turns a raw sample into a physical one with
//     g_i = raw_i * scale - bias_i(T),   value = M(T) g,
// (scale 2^-15 for the gyroscope, range * 2^-15 for the accelerometer). The simulator runs that
// backwards: raw = round((M(T)^-1 value + bias(T)) / scale), clamped to 16 bits.

#include <array>
#include <cstdint>

#include "device_simulator/scene/Pose.h"

namespace Kestrel::DeviceSimulator {

struct LinearInTemperature {
    float offset = 0;
    float slope = 0;
    // Evaluated in single precision, as the host does.
    float at(float temperature) const { return offset + slope * temperature; }
};

struct AffineCalibration {
    // Row-major: m00 m01 m02 bias0, m10 m11 m12 bias1, m20 m21 m22 bias2.
    std::array<LinearInTemperature, 12> entries;
};

struct RawTriple {
    std::array<int16_t, 3> axes{};
    bool saturated = false;  // some axis was clamped to the 16-bit range
};

// Raw 16-bit sample that the host decodes back to `value` (within one quantisation step)
// at `temperature`; axes beyond the range are clamped to -32768 / 32767.
RawTriple rawFromValue(const AffineCalibration& calibration, double scale, const Vec3& value, float temperature);

// The host's decoding, for tests and tools.
Vec3 valueFromRaw(const AffineCalibration& calibration, double scale, const std::array<int16_t, 3>& raw,
                  float temperature);

constexpr double gyroscopeScale = 1.0 / 32768.0;            // degrees per sample interval per LSB
constexpr double accelerometerRange = 8.0;                  // g, sent as packet id 5
constexpr double accelerometerScale = accelerometerRange / 32768.0;

// The calibration this simulated tracker carries (chosen once; see ImuCalibration.cpp).
const AffineCalibration& simulatedGyroscopeCalibration();
const AffineCalibration& simulatedAccelerometerCalibration();

} // namespace Kestrel::DeviceSimulator
