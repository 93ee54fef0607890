#include "tracking/environments/OrbEnvironment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "interface_contract/Marshal.h"

namespace Kestrel::Orb::Tracking {

using InterfaceContract::guard;
using InterfaceContract::toBoolean;
using InterfaceContract::writeOut;

namespace {

template <class T>
T& required(T* pointer, const char* name) {
    if (!pointer)
        throw std::invalid_argument(std::string("null argument: ") + name);
    return *pointer;
}

std::vector<Vec3f> readRays(const InArray* rays) {
    if (!rays || !rays->data || rays->count == 0)
        return {};
    const auto* first = static_cast<const Vec3f*>(rays->data);
    return std::vector<Vec3f>(first, first + rays->count);
}

} // namespace

void MarkerGrid::rebuild(const std::vector<Vec2f>& points, float averagePointsPerCell) {
    grid.build(points, averagePointsPerCell);
    if (points.size() < 2) {
        minSpacing = 0.5f;
        return;
    }
    // The smallest squared distance over all pairs, swept in x order: a pair further apart in
    // x than the smallest distance so far cannot be closer.
    std::vector<Vec2f> byX(points);
    std::sort(byX.begin(), byX.end(), [](const Vec2f& a, const Vec2f& b) { return a.x() < b.x(); });
    float smallest = std::numeric_limits<float>::infinity();
    for (std::size_t i = 0; i < byX.size(); ++i)
        for (std::size_t j = i + 1; j < byX.size(); ++j) {
            const float dx = byX[j].x() - byX[i].x();
            if (dx * dx > smallest)
                break;
            const Vec2f d = byX[j] - byX[i];
            smallest = std::min(smallest, KestrelMath::dot(d, d));
        }
    minSpacing = std::sqrt(smallest);
}

OrbEnvironment::OrbEnvironment(float barLength_, float middleRatio_)
    : barLength(barLength_),
      middleRatio(middleRatio_),
      barMarkerX{-barLength_ / 2, -barLength_ / 2 * (1 - 2 * middleRatio_), barLength_ / 2} {}

bool OrbEnvironment::isAdaptive() const { return false; }
int32_t OrbEnvironment::revision() const { return 0; }
bool OrbEnvironment::acceptRay(const Vec3f& up, const Vec3f& ray) const { return KestrelMath::dot(up, ray) < 0; }
bool OrbEnvironment::hasBounds() const { return false; }
int OrbEnvironment::boundsCornerCount() const { return 0; }
Vec2f OrbEnvironment::boundsCorner(int) const { return Vec2f{{0, 0}}; }

std::vector<MarkerIndex> OrbEnvironment::matchNearPosition(const std::vector<Vec3f>& rays, const Vec3f& origin) const {
    std::vector<MarkerIndex> indices(rays.size(), unmatchedMarker);
    const float radius = markerGrid.minSpacing * markerGrid.matchRadiusFactor;
    for (std::size_t i = 0; i < rays.size(); ++i) {
        const Vec3f& ray = rays[i];
        const float t = -(origin.y() - markerGrid.planeHeight) / ray.y();
        const Vec2f hit{{origin.x() + t * ray.x(), origin.z() + t * ray.z()}};
        if (!std::isfinite(hit.x()) || !std::isfinite(hit.y())) {
            indices[i] = ambiguousMarker;
            continue;
        }
        const std::vector<std::size_t> near = markerGrid.grid.query(hit, radius);
        indices[i] = near.size() == 1 ? MarkerIndex(near[0]) : ambiguousMarker;
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] < 0)
            continue;
        bool duplicated = false;
        for (std::size_t j = i + 1; j < indices.size(); ++j)
            if (indices[j] == indices[i]) {
                indices[j] = unmatchedMarker;
                duplicated = true;
            }
        if (duplicated)
            indices[i] = unmatchedMarker;
    }
    return indices;
}

void OrbEnvironment::serveBarDetection(const std::vector<Vec2f>& points, const std::vector<Bar>& bars,
                                       const Vec3f& shape, float scale) {
    if (barDetectionHook.serve(points, bars, shape, scale))
        barDetectionServed.store(1);
}

ResultCode KESTREL_CALL OrbEnvironment::isAdaptive(Boolean* adaptive) {
    return guard([&] { required(adaptive, "adaptive") = toBoolean(isAdaptive()); });
}

ResultCode KESTREL_CALL OrbEnvironment::markerPositions(OutArray* positions) {
    return guard([&] { writeOut(positions, markerPositions()); });
}

ResultCode KESTREL_CALL OrbEnvironment::acceptRay(const Vec3f* up, const Vec3f* ray, Boolean* accepted) {
    return guard([&] {
        required(accepted, "accepted") = toBoolean(acceptRay(required(up, "up"), required(ray, "ray")));
    });
}

ResultCode KESTREL_CALL OrbEnvironment::matchRays(InArray* rays, Boolean* found, OutArray* indices, Pose* pose) {
    return guard([&] {
        Boolean& foundOut = required(found, "found");
        Pose& poseOut = required(pose, "pose");
        if (!indices || !indices->allocate)
            throw std::invalid_argument("null argument: indices");
        barDetectionServed.store(0);
        std::vector<MarkerIndex> matched;
        Pose matchedPose = poseOut;
        const bool ok = matchRays(readRays(rays), matched, matchedPose);
        // A kind may write indices without a pose (the quadrangle before its first solution).
        if (ok || !matched.empty())
            writeOut(indices, matched);
        if (ok)
            poseOut = matchedPose;
        foundOut = toBoolean(ok);
    });
}

ResultCode KESTREL_CALL OrbEnvironment::matchNearPosition(InArray* rays, const Vec3f* origin, OutArray* indices) {
    return guard([&] { writeOut(indices, matchNearPosition(readRays(rays), required(origin, "origin"))); });
}

OrbEnvironment* nativeEnvironment(IEnvironment* environment) { return dynamic_cast<OrbEnvironment*>(environment); }

} // namespace Kestrel::Orb::Tracking
