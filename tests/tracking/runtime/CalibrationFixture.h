#pragma once
// A non-trivial calibration shared by the calibration tests. The expected values in the tests
// were computed from these numbers by an independent double-precision script of the formulas.
#include <cmath>

#include "tracking/runtime/calibration/GeometrySettings.h"

namespace CalibrationFixture {

using Kestrel::Orb::Tracking::GeometrySettings;

inline GeometrySettings referenceSettings() {
    GeometrySettings g;
    g.cx = 322.25f;
    g.cy = 238.75f;
    g.f = 412.5f;
    g.k = 2.5e-4f;
    g.p = {0.011f, -0.021f, 0.0052f, 0.0031f, -0.0017f, 0.0009f, 0.0004f, -0.0002f};
    g.c = {0.004f, -0.003f, 0.006f, 0.002f, -0.005f, 0.001f, 0.003f, -0.002f, 0.0015f, -0.001f, 0.0005f, 0.0f};
    g.xi = 0.75f;
    for (int s = 0; s < 2; ++s)
        for (int v = 0; v < 61; ++v)
            g.correction[s][v] = {float(0.01 * std::sin(1.7 * v + s)), float(0.02 * std::cos(0.9 * v + 2 * s)),
                                  float(0.015 * std::sin(2.3 * v - s))};
    return g;
}

} // namespace CalibrationFixture
