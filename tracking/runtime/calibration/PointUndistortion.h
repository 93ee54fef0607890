#pragma once
// From a blob's pixel position to a normalized image point and a ray, given the tracker's
// calibration. This is the host's whole optical camera model; the simulated tracker inverts it
// numerically to place marker pixels.
//
// Steps, for a pixel (x, y) of the 640 by 480 sensor and the sensor temperature T:
//   1. drop if y < 5 or y >= 475;
//   2. a = -((y - cy) / f), b = (x - cx) / f;
//   3. c = 1 + (a^2 + b^2) T k;
//   4. d = (a c)^2 + (b c)^2;
//   5. e = a c + d (p2 + d (p4 + d (p6 + d p8))), h = b c + d (p1 + d (p3 + d (p5 + d p7)));
//   6. x' = h s, y' = e s with s the radial correction of r = |(e, h)| (RadialCorrection.h);
//   7. drop if x'^2 + y'^2 >= 1;
//   8. locate (x', y') in the image mesh (double precision); "!valueFromSensor" if impossible;
//   9. x' += the first correction set's patch value there, y' += the second's (CorrectionPatch.h);
//  10. lift with the unified model (unifiedRayDirection) and drop if the angle to the optical
//      axis, acos(z), exceeds 2.0 rad.
// Steps 2 to 7 and 10 run in single precision like the stored calibration.

#include <optional>

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/ImageMesh.h"
#include "tracking/runtime/calibration/RadialCorrection.h"

namespace Kestrel::Orb::Tracking {

// The unit ray of a normalized image point in the unified camera model. A point outside the
// unit circle (r^2 > 1) is folded to (x / r^2, y / r^2) and lifted to the back hemisphere:
//   h = folded squared radius, w = +-sqrt(1 - h), u = sqrt(1 - xi^2 h) + xi w,
//   direction = (u x, u y, u w - xi).
KestrelMath::vector3<float> unifiedRayDirection(float x, float y, float xi);

class PointUndistortion {
public:
    // Why a point was not turned into a ray.
    enum class Outcome { Accepted, OutsideRows, OutsideDisk, BeyondViewCut };

    static constexpr float minimumRow = 5.0f, endRow = 475.0f;  // step 1, pixels
    static constexpr float maximumAxisAngle = 2.0f;             // step 10, radians

    explicit PointUndistortion(const GeometrySettings& settings);

    // Steps 1 to 10. On Accepted, `point` holds (x', y'). Throws std::runtime_error
    // "!valueFromSensor" when the point cannot be located in the image mesh.
    Outcome undistort(float x, float y, float temperature, KestrelMath::vector2<float>& point) const;

    // undistort followed by unifiedRayDirection; empty when the point is dropped.
    std::optional<KestrelMath::vector3<float>> pixelToRay(float x, float y, float temperature) const;

    float xi() const { return settings_.xi; }
    const ImageMesh& mesh() const { return mesh_; }

private:
    GeometrySettings settings_;
    RadialCorrection radial_;
    ImageMesh mesh_;
};

} // namespace Kestrel::Orb::Tracking
