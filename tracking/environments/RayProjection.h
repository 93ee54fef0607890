#pragma once
#include <vector>

#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

// Where a ray (x, y, z) of the tracker frame meets the plane one unit in front of the camera,
// which looks along -y: (x * (-1/y), z * (-1/y)). Point i belongs to ray i.
Vec2f projectRay(const Vec3f& ray);
std::vector<Vec2f> projectRays(const std::vector<Vec3f>& rays);

} // namespace Kestrel::Orb::Tracking
