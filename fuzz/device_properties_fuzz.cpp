// The tracker's calibration properties, then the undistortion they drive.
//
// Input: block("sys/GeometrySettings.b"), block("sys/MaximumViewAngle.b"), then up to eight
// points to undistort and lift to rays: x and y as the wire's 16-bit positions (so pixels lie
// on the sensor, as every pixel the host sees does) and the temperature as the wire's float.

#include <cmath>
#include <exception>
#include <optional>
#include <stdexcept>

#include "FuzzInput.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"
#include "tracking/runtime/calibration/PointUndistortion.h"

using namespace Kestrel::Orb::Tracking;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const std::string_view geometry = in.block();
    const std::string_view angleBytes = in.block();

    float angle = fallbackMaximumViewAngle;
    try {
        angle = parseMaximumViewAngle(angleBytes);
        if (!(angle >= 0.0f && angle <= 3.1415927f))
            __builtin_trap();  // an accepted angle lies in the documented range
    } catch (const std::runtime_error&) {
    }

    GeometrySettings settings;
    try {
        settings = parseGeometrySettings(geometry);
    } catch (const std::runtime_error&) {
        return 0;
    }
    maximumRadiusSquared(angle, settings.xi);
    std::optional<PointUndistortion> undistortion;
    try {
        undistortion.emplace(settings);
    } catch (const std::exception&) {
        return 0;
    }
    for (int i = 0; i < 8 && in.remaining() >= 8; ++i) {
        const float x = in.u16() / 65535.0f * 640 + 1, y = in.u16() / 65535.0f * 480 + 1;
        const float temperature = in.f32();
        try {
            undistortion->pixelToRay(x, y, temperature);
        } catch (const std::runtime_error&) {
        }
    }
    return 0;
}
