#include "device_simulator/SimulatedCamera.h"

#include <cmath>
#include <cstring>

#include "device_simulator/scene/ImuCalibration.h"
#include "device_simulator/scene/PixelSolver.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/PointUndistortion.h"

namespace Kestrel::DeviceSimulator {

namespace {

using Orb::Tracking::GeometrySettings;
using Orb::Tracking::PointUndistortion;

// The simulated calibration, chosen once to resemble a wide-angle tracker camera:
// - principal point (321.7, 238.9), a little off the sensor centre (321, 241);
// - xi 0.75 and focal length 562 px: a ray 60 degrees off the axis lands 320 px from the centre,
//   so the 640 px width spans about 120 degrees (88 degrees vertically);
// - temperature coefficient 2e-5 per degree of the radial factor;
// - small distortion coefficients p1..p8 (at most about 0.7 px at the image edge);
// - radial spline offsets c_k = 0.004 sin(pi (k + 1) / 13), a gentle bulge of the radial scale;
// - a smooth correction map of about a pixel at the edge, from the fields
//     dx = 0.0015 X Y - 0.001 X^3,  dy = 0.001 (X^2 - Y^2) + 0.0008 Y^3
//   given at the image-mesh vertices as (value, -d/dX, -d/dY), the slope terms that make each
//   patch follow the field's tangent plane;
// - view angle 1.30 rad (74.5 degrees), just inside the image corners (77.6 degrees).
constexpr double viewAngle = 1.30;

GeometrySettings simulatedSettings(const Orb::Tracking::ImageMesh& mesh) {
    GeometrySettings g;
    g.unused = {640.0f, 480.0f, 0.0f};
    g.cx = 321.7f;
    g.cy = 238.9f;
    g.f = 562.0f;
    g.k = 2.0e-5f;
    g.p = {1.2e-3f, -0.8e-3f, 3.0e-4f, -2.0e-4f, -1.0e-4f, 5.0e-5f, 2.0e-5f, -1.0e-5f};
    for (int k = 0; k < 12; ++k)
        g.c[k] = float(0.004 * std::sin(M_PI * (k + 1) / 13.0));
    g.xi = 0.75f;
    for (int v = 0; v < Orb::Tracking::ImageMesh::vertexCount; ++v) {
        double X = mesh.vertices()[v].x, Y = mesh.vertices()[v].y;
        g.correction[0][v] = {float(0.0015 * X * Y - 0.001 * X * X * X), float(-(0.0015 * Y - 0.003 * X * X)),
                              float(-(0.0015 * X))};
        g.correction[1][v] = {float(0.001 * (X * X - Y * Y) + 0.0008 * Y * Y * Y), float(-(0.002 * X)),
                              float(-(-0.002 * Y + 0.0024 * Y * Y))};
    }
    auto copy = [](const AffineCalibration& from, Orb::Tracking::TemperatureLinearCalibration& to) {
        for (int i = 0; i < 12; ++i)
            to.pairs[i] = {from.entries[i].offset, from.entries[i].slope};
    };
    copy(simulatedAccelerometerCalibration(), g.accelerometer);
    copy(simulatedGyroscopeCalibration(), g.gyroscope);
    return g;
}

class HostInvertedCamera final : public CameraModel {
public:
    HostInvertedCamera() : settings_(simulatedSettings(Orb::Tracking::ImageMesh())), host_(settings_) {}

    std::optional<Pixel> project(const Vec3& direction, float temperature) const override {
        // The host's image point of a unit direction d: (d_x, d_y) / |(d_x, d_y, d_z + xi)|.
        double xi = settings_.xi;
        if (!(direction.z() + xi > 0))
            return std::nullopt;
        double n = std::hypot(direction.x(), direction.y(), direction.z() + xi);
        ImagePoint target{direction.x() / n, direction.y() / n};
        PixelToImagePoint hostPath = [&](double x, double y) -> std::optional<ImagePoint> {
            KestrelMath::vector2<float> point;
            try {
                if (host_.undistort(float(x), float(y), temperature, point) != PointUndistortion::Outcome::Accepted)
                    return std::nullopt;
            } catch (const std::exception&) {
                return std::nullopt;
            }
            return ImagePoint{point.x(), point.y()};
        };
        Pixel guess{settings_.cx + settings_.f * target[0], settings_.cy - settings_.f * target[1]};
        // Single-precision evaluation limits the reachable residual to a few 1e-8.
        std::optional<PixelSolution> solution = solvePixel(hostPath, target, guess, Pixel{settings_.cx, settings_.cy}, 1e-6);
        if (!solution)
            return std::nullopt;
        const Pixel& p = solution->pixel;
        if (p.x < 1.0 || p.x >= 641.0 || p.y < PointUndistortion::minimumRow || p.y >= PointUndistortion::endRow)
            return std::nullopt;
        return p;
    }

    double maximumViewAngle() const override { return viewAngle; }

    std::string geometrySettingsRecord() const override { return Orb::Tracking::serializeGeometrySettings(settings_); }

    std::string maximumViewAngleRecord() const override {
        float angle = float(viewAngle);
        std::string bytes(4, '\0');
        std::memcpy(bytes.data(), &angle, 4);
        return bytes;
    }

private:
    GeometrySettings settings_;
    PointUndistortion host_;
};

} // namespace

std::shared_ptr<const CameraModel> simulatedCamera() {
    static const std::shared_ptr<const CameraModel> camera = std::make_shared<HostInvertedCamera>();
    return camera;
}

} // namespace Kestrel::DeviceSimulator
