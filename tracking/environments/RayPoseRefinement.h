#pragma once
// Least-squares refinement of a camera pose from rays to known markers.

#include <vector>

#include <Eigen/Dense>
#include <Eigen/Geometry>

namespace Kestrel::Orb::Tracking {

// Gauss-Newton on the direction residuals
//     e_i = normalise(R^T (m_i - p)) - ray_i
// over the rotation R (environment <- camera, updated as R * exp(w)) and the position p,
// starting from the given values, for at most `iterations` steps or until a step moves less
// than 1e-9. Returns false, leaving the pose unchanged, when the normal equations are singular
// or the result is not finite (fewer than three rays never fix a pose).
bool refineRayPose(const std::vector<Eigen::Vector3d>& rays_camera, const std::vector<Eigen::Vector3d>& markers_world,
                   Eigen::Quaterniond& rotation_world_camera, Eigen::Vector3d& position_world, int iterations = 6);

} // namespace Kestrel::Orb::Tracking
