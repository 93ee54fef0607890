#include "tracking/runtime/optimizer/PoseMatchGate.h"

#include <cmath>

#include <Eigen/Core>
#include <Eigen/Geometry>

namespace Kestrel::Orb::Tracking {

namespace {

Eigen::Vector3d toVector(const Vec3f& v) { return Eigen::Vector3d(v[0], v[1], v[2]); }

} // namespace

int refuseDistantMatches(const std::vector<Vec3f>& rays_world, const Vec3f& camera_world,
                         const std::vector<Vec3f>& markers, std::vector<MarkerIndex>& indices, double limit) {
    int refused = 0;
    const Eigen::Vector3d camera = toVector(camera_world);
    for (std::size_t i = 0; i < indices.size() && i < rays_world.size(); ++i) {
        const MarkerIndex index = indices[i];
        if (index < 0 || std::size_t(index) >= markers.size())
            continue;
        const Eigen::Vector3d ray = toVector(rays_world[i]);
        const Eigen::Vector3d toMarker = toVector(markers[std::size_t(index)]) - camera;
        // atan2 of |a x b| and a . b keeps small angles exact, where acos of the cosine does not.
        const double angle = std::atan2(ray.cross(toMarker).norm(), ray.dot(toMarker));
        if (!(angle <= limit)) {
            indices[i] = unmatchedMarker;
            ++refused;
        }
    }
    return refused;
}

} // namespace Kestrel::Orb::Tracking
