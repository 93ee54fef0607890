#include "tracking/environments/OrbEnvironmentSingle.h"

#include <cmath>

#include "tracking/environments/BarDetector.h"
#include "tracking/environments/BarGeometry.h"
#include "tracking/environments/EnvironmentKinds.h"
#include "tracking/environments/RayProjection.h"

namespace Kestrel::Orb::Tracking {

namespace {

using Vec3d = KestrelMath::vector<double, 3>;
using Quatd = KestrelMath::quaternion<double>;

constexpr double pi = 3.14159265358979323846;

Vec3d toDouble(const Vec3f& v) { return Vec3d{{v[0], v[1], v[2]}}; }

} // namespace

OrbEnvironmentSingle::OrbEnvironmentSingle(float barLength_, float middleRatio_) : OrbEnvironment(barLength_, middleRatio_) {
    markerGrid.rebuild({Vec2f{{barMarkerX[0], 0}}, Vec2f{{barMarkerX[1], 0}}, Vec2f{{barMarkerX[2], 0}}}, 1.0f);
}

std::vector<Vec3f> OrbEnvironmentSingle::markerPositions() const {
    return {Vec3f{{barMarkerX[0], 0, 0}}, Vec3f{{barMarkerX[1], 0, 0}}, Vec3f{{barMarkerX[2], 0, 0}}};
}

bool OrbEnvironmentSingle::matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) {
    if (rays.size() < 3)
        return false;
    const std::vector<Vec2f> points = projectRays(rays);
    const std::vector<Bar> bars = findBars(points, middleRatio, defaultDetectorShape, defaultDetectorScale);
    serveBarDetection(points, bars, defaultDetectorShape, defaultDetectorScale);
    if (bars.size() != 1)
        return false;
    const Bar& bar = bars[0];

    const Vec3d ray_camera[3] = {toDouble(rays[bar[0]]), toDouble(rays[bar[1]]), toDouble(rays[bar[2]])};
    const BarPlacement placement = solveBar(rays[bar[0]], rays[bar[1]], rays[bar[2]], barLength, middleRatio);
    const double length = barLength;

    // The bar's direction in the camera frame, and the turn Q = q_az * q_el that brings it onto +x.
    const Vec3d bar_camera = KestrelMath::normalized(ray_camera[2] * placement.distance[2] - ray_camera[0] * placement.distance[0]);
    const double horizontal = std::hypot(bar_camera.x(), bar_camera.z());
    const Quatd elevation = Quatd::fromAxisAngle(Vec3d{{bar_camera.z() / horizontal, 0, -bar_camera.x() / horizontal}},
                                                 std::atan2(bar_camera.y(), horizontal));
    const Quatd azimuth = Quatd::fromAxisAngle(Vec3d{{0, 1, 0}}, std::atan2(bar_camera.z(), bar_camera.x()));
    const Quatd rotation = azimuth * elevation;

    // The plane through the camera and the bar contains the x axis; its normal's angle about x
    // says where around the bar the camera sits.
    const Vec3d normal = KestrelMath::cross(rotation.rotate(ray_camera[0]), rotation.rotate(ray_camera[2]));
    const double a = std::atan2(normal.y(), normal.z()) - pi / 2;
    // ((u - 0.5) L, 0, -e) turned about x by -a.
    const double foot = (placement.u - 0.5) * length;
    const double c = std::cos(-a), s = std::sin(-a);
    const Vec3d position{{foot, placement.e * s, -placement.e * c}};

    const Pose result{Vec3f{{float(position.x()), float(position.y()), float(position.z())}},
                      Quatf{float(rotation.x), float(rotation.y), float(rotation.z), float(rotation.w)}};
    // Only a degenerate view (the bar seen end-on, or rays that coincide) gives no pose.
    for (float value : {result.position.x(), result.position.y(), result.position.z(), result.rotation.x,
                        result.rotation.y, result.rotation.z, result.rotation.w})
        if (!std::isfinite(value))
            return false;

    indices.assign(rays.size(), unmatchedMarker);
    indices[bar[0]] = 0;
    indices[bar[1]] = 1;
    indices[bar[2]] = 2;
    pose = result;
    return true;
}

InterfaceContract::Ref<IEnvironment> createSingleEnvironment(const BarParameters& parameters) {
    return InterfaceContract::makeInterfaced<OrbEnvironmentSingle, IEnvironment>(parameters.barLength, parameters.middleRatio);
}

} // namespace Kestrel::Orb::Tracking
