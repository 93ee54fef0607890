#pragma once
// Refusal of pose-made matches that point far from their marker.
//
// While 6DoF holds, each ray is followed from the camera to the marker plane and takes the one
// marker within 0.4 minimum spacings of where it lands. Any other light near a marker that is
// out of view (a lamp, a reflection) lands there too and would be given that marker; once the
// optimiser keeps it (its outlier test allows 0.1 rad), it pulls the pose towards the light.
// The predicted pose is good to about 2 mrad (worst ray over 20 s of clean walks, circles and
// spins), so a matched ray whose direction is further than `poseMatchAngleLimit` from the
// camera-to-marker direction is another light, and its match is refused.

#include <vector>

#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

constexpr double poseMatchAngleLimit = 0.01;  // radians, about five times the worst clean ray

// For each index of `indices` that names a marker of `markers`: when the angle between
// `rays_world[i]` (environment frame, any length) and the direction from `camera_world` to its
// marker exceeds `limit`, the index becomes unmatched (-1). Returns how many were refused.
int refuseDistantMatches(const std::vector<Vec3f>& rays_world, const Vec3f& camera_world,
                         const std::vector<Vec3f>& markers, std::vector<MarkerIndex>& indices,
                         double limit = poseMatchAngleLimit);

} // namespace Kestrel::Orb::Tracking
