#include "tracking/environments/RayProjection.h"

namespace Kestrel::Orb::Tracking {

Vec2f projectRay(const Vec3f& ray) {
    const float scale = -1.0f / ray.y();
    return Vec2f{{ray.x() * scale, ray.z() * scale}};
}

std::vector<Vec2f> projectRays(const std::vector<Vec3f>& rays) {
    std::vector<Vec2f> points;
    points.reserve(rays.size());
    for (const Vec3f& ray : rays)
        points.push_back(projectRay(ray));
    return points;
}

} // namespace Kestrel::Orb::Tracking
