#include "device_simulator/scene/ImuCalibration.h"

#include <algorithm>
#include <cmath>

namespace Kestrel::DeviceSimulator {

namespace {

struct Affine {
    double m[3][3];
    double bias[3];
};

Affine evaluate(const AffineCalibration& c, float temperature) {
    Affine a{};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col)
            a.m[row][col] = c.entries[row * 4 + col].at(temperature);
        a.bias[row] = c.entries[row * 4 + 3].at(temperature);
    }
    return a;
}

} // namespace

RawTriple rawFromValue(const AffineCalibration& calibration, double scale, const Vec3& value, float temperature) {
    Affine a = evaluate(calibration, temperature);
    const auto& m = a.m;
    // g = M^-1 value by the adjugate; the matrices are close to the identity.
    double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                 m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    double inv[3][3] = {
        {(m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det,
         (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det},
        {(m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
         (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det},
        {(m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det,
         (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det}};
    RawTriple raw;
    for (int row = 0; row < 3; ++row) {
        double g = inv[row][0] * value[0] + inv[row][1] * value[1] + inv[row][2] * value[2];
        double counts = std::round((g + a.bias[row]) / scale);
        if (counts > 32767.0 || counts < -32768.0)
            raw.saturated = true;
        raw.axes[row] = int16_t(std::clamp(counts, -32768.0, 32767.0));
    }
    return raw;
}

Vec3 valueFromRaw(const AffineCalibration& calibration, double scale, const std::array<int16_t, 3>& raw,
                  float temperature) {
    Affine a = evaluate(calibration, temperature);
    double g[3];
    for (int i = 0; i < 3; ++i)
        g[i] = raw[i] * scale - a.bias[i];
    Vec3 value;
    for (int row = 0; row < 3; ++row)
        value[row] = a.m[row][0] * g[0] + a.m[row][1] * g[1] + a.m[row][2] * g[2];
    return value;
}

// Chosen once to look like a factory calibration of a MEMS part: scale errors of a few per
// cent, cross-axis terms of a few per mille, biases of the order a real part shows, and a
// small linear temperature dependence of every entry.
const AffineCalibration& simulatedGyroscopeCalibration() {
    static const AffineCalibration c{{{
        {1.0120f, 1.5e-4f}, {0.0040f, 0.0f}, {-0.0020f, 0.0f}, {0.0012f, 2.0e-6f},
        {-0.0030f, 0.0f}, {0.9910f, -1.0e-4f}, {0.0050f, 0.0f}, {-0.0008f, 1.5e-6f},
        {0.0020f, 0.0f}, {-0.0040f, 0.0f}, {1.0060f, 0.5e-4f}, {0.0005f, -1.0e-6f},
    }}};
    return c;
}

const AffineCalibration& simulatedAccelerometerCalibration() {
    static const AffineCalibration c{{{
        {0.9950f, 1.0e-4f}, {0.0030f, 0.0f}, {0.0010f, 0.0f}, {0.0150f, 1.0e-4f},
        {-0.0020f, 0.0f}, {1.0080f, -0.5e-4f}, {-0.0040f, 0.0f}, {-0.0100f, 0.5e-4f},
        {0.0015f, 0.0f}, {0.0025f, 0.0f}, {0.9970f, 0.8e-4f}, {0.0200f, -1.0e-4f},
    }}};
    return c;
}

} // namespace Kestrel::DeviceSimulator
