#pragma once
// The tracker's calibration record, stored on the device as "sys/GeometrySettings.b".
//
// Layout (little-endian): an unsigned LEB128 format version, which must be 2, then 442 64-bit
// floats d[0..441]:
//   d[0..2]     not used by the host
//   d[3], d[4]  principal point cx, cy (pixels)
//   d[5]        focal length f (pixels)
//   d[6]        temperature coefficient k of the radial factor
//   d[7..14]    distortion coefficients p1..p8
//   d[15..26]   radial correction spline offsets c0..c11
//   d[27]       xi of the unified camera model
//   d[28..393]  correction map: 61 triples (value, slope a, slope b) of the first set, then 61 of
//               the second set, vertex by vertex of the image mesh
//   d[394..417] accelerometer calibration: 12 (offset, slope) pairs, rows (m0, m1, m2, bias)
//   d[418..441] gyroscope calibration: same order
// The host keeps every value as a 32-bit float.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace Kestrel::Orb::Tracking {

constexpr std::size_t imageMeshVertexCount = 61;

// A 3 by 4 affine sensor calibration whose twelve entries are linear in temperature: entry i is
// pairs[i][0] + pairs[i][1] * T, read row by row as (m0, m1, m2, bias).
struct TemperatureLinearCalibration {
    std::array<std::array<float, 2>, 12> pairs{};

    // Identity matrix, zero bias, no temperature dependence.
    static TemperatureLinearCalibration identity();
};

// One vertex's triple of a correction set: the value and its two slope terms.
struct CorrectionTriple {
    float value = 0, a = 0, b = 0;
};
using CorrectionSet = std::array<CorrectionTriple, imageMeshVertexCount>;

struct GeometrySettings {
    static constexpr unsigned formatVersion = 2;
    static constexpr std::size_t doubleCount = 442;

    std::array<float, 3> unused{};
    float cx = 320.5f, cy = 240.5f;  // principal point, pixels
    float f = 400.0f;                // focal length, pixels
    float k = 0;                     // temperature coefficient of the radial factor
    std::array<float, 8> p{};        // p1..p8
    std::array<float, 12> c{};       // spline offsets c0..c11
    float xi = 0;
    std::array<CorrectionSet, 2> correction{};  // [0] added to x', [1] added to y'
    TemperatureLinearCalibration accelerometer = TemperatureLinearCalibration::identity();
    TemperatureLinearCalibration gyroscope = TemperatureLinearCalibration::identity();
};

// Parses a record. Throws std::runtime_error "need VersionConverter implementation" for a
// version other than 2, and "GeometrySettings: record of N bytes is too short, needs M" when the
// record ends before the last value. Bytes after the last value are ignored.
GeometrySettings parseGeometrySettings(std::string_view bytes);

// The record of `settings` in the version 2 layout (3536 bytes after the version varint).
std::string serializeGeometrySettings(const GeometrySettings& settings);

} // namespace Kestrel::Orb::Tracking
