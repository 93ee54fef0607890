#pragma once
// The tracker's camera as the simulator needs it: where a direction lands on the sensor, and
// the calibration records the device hands out. The implementation with the simulated
// calibration is in device_simulator/camera (it needs the host's undistortion path).

#include <optional>
#include <string>

#include "device_simulator/scene/Pose.h"

namespace Kestrel::DeviceSimulator {

// Offset of the camera's centre from the tracker's centre along the tracker's z axis, metres.
constexpr double cameraOffset = 0.0162;

struct Pixel {
    double x = 0, y = 0;  // host pixel coordinates of the 640 by 480 sensor (1 to 641, 1 to 481)
};

class CameraModel {
public:
    virtual ~CameraModel() = default;
    // Pixel at which a light from unit direction `direction` (camera frame, +z the optical axis)
    // is seen at sensor temperature `temperature`; empty when the camera does not see it (behind
    // the camera, beyond the view angle, off the sensor, or dropped by the host's undistortion).
    virtual std::optional<Pixel> project(const Vec3& direction, float temperature) const = 0;
    // Angle from the optical axis beyond which nothing is seen, radians.
    virtual double maximumViewAngle() const = 0;
    // The device properties "sys/GeometrySettings.b" and "sys/MaximumViewAngle.b".
    virtual std::string geometrySettingsRecord() const = 0;
    virtual std::string maximumViewAngleRecord() const = 0;
};

} // namespace Kestrel::DeviceSimulator
