#include "tracking/runtime/calibration/PointUndistortion.h"

#include <cmath>
#include <stdexcept>

#include "tracking/runtime/calibration/CorrectionPatch.h"

namespace Kestrel::Orb::Tracking {

KestrelMath::vector3<float> unifiedRayDirection(float x, float y, float xi) {
    float h = x * x + y * y;
    float w;
    if (h > 1.0f) {
        x /= h;
        y /= h;
        h = 1.0f / h;
        w = -std::sqrt(1.0f - h);
    } else {
        w = std::sqrt(1.0f - h);
    }
    float u = std::sqrt(xi * xi * (1.0f - h) - xi * xi + 1.0f) + xi * w;
    return {{u * x, u * y, u * w - xi}};
}

PointUndistortion::PointUndistortion(const GeometrySettings& settings)
    : settings_(settings), radial_(settings.c) {}

PointUndistortion::Outcome PointUndistortion::undistort(float x, float y, float temperature,
                                                        KestrelMath::vector2<float>& point) const {
    const GeometrySettings& g = settings_;
    if (y < minimumRow || y >= endRow)
        return Outcome::OutsideRows;

    const float a = -((y - g.cy) / g.f);
    const float b = (x - g.cx) / g.f;
    const float c = 1.0f + (a * a + b * b) * (temperature * g.k);
    const float ac = a * c, bc = b * c;
    const float d = ac * ac + bc * bc;
    const auto& p = g.p;  // p[0] is p1
    const float e = ac + d * (p[1] + d * (p[3] + d * (p[5] + d * p[7])));
    const float h = bc + d * (p[0] + d * (p[2] + d * (p[4] + d * p[6])));

    const float r = std::sqrt(e * e + h * h);
    const float s = radial_.scale(r * r * r);
    float px = h * s, py = e * s;
    if (px * px + py * py >= 1.0f)
        return Outcome::OutsideDisk;

    ImageMesh::Location location;
    if (!mesh_.locate(double(px), double(py), location))
        throw std::runtime_error("!valueFromSensor");
    px = float(double(px) + correctionPatchValue(mesh_, location, g.correction[0]));
    py = float(double(py) + correctionPatchValue(mesh_, location, g.correction[1]));

    const float z = unifiedRayDirection(px, py, g.xi).z();
    if (std::acos(z) > maximumAxisAngle)
        return Outcome::BeyondViewCut;
    point = {{px, py}};
    return Outcome::Accepted;
}

std::optional<KestrelMath::vector3<float>> PointUndistortion::pixelToRay(float x, float y, float temperature) const {
    KestrelMath::vector2<float> point;
    if (undistort(x, y, temperature, point) != Outcome::Accepted)
        return std::nullopt;
    return unifiedRayDirection(point.x(), point.y(), settings_.xi);
}

} // namespace Kestrel::Orb::Tracking
