#pragma once
// An IEnvironment over a fixed marker list that matches rays by direction, knowing the true
// pose the test gives it: enough to drive the optimiser's matching steps deterministically.

#include <atomic>
#include <functional>

#include "interface_contract/Marshal.h"
#include "interface_contract/Remap.h"
#include "SyntheticScene.h"
#include "tracking/environments/EnvironmentInterfaces.h"

namespace TrackingTest {

using namespace Kestrel::InterfaceContract;

class FakeEnvironment final : public Implements<IEnvironment> {
public:
    explicit FakeEnvironment(std::vector<Vec3f> markers) : markers_(std::move(markers)) {}

    // Index of the marker within 0.02 rad of the ray cast from `origin`, else -2.
    std::vector<MarkerIndex> nearest(const std::vector<Vec3f>& worldRays, const Eigen::Vector3d& origin) const {
        std::vector<MarkerIndex> indices;
        for (const Vec3f& ray : worldRays) {
            MarkerIndex found = -2;
            for (std::size_t m = 0; m < markers_.size(); ++m) {
                const Eigen::Vector3d to = (d3(markers_[m]) - origin).normalized();
                if (std::acos(std::min(1.0, to.dot(d3(ray)))) < 0.02)
                    found = MarkerIndex(m);
            }
            indices.push_back(found);
        }
        return indices;
    }

    // The pose the orientation matching "finds"; null: it finds nothing.
    std::function<bool(const std::vector<Vec3f>& levelled, std::vector<MarkerIndex>&, Pose&)> orientationMatch;
    // Overrides the pose-based matching when set.
    std::function<std::vector<MarkerIndex>(const std::vector<Vec3f>&, const Vec3f&)> poseMatch;
    std::atomic<int> matchRaysCalls{0}, matchNearCalls{0};

    ResultCode KESTREL_CALL isAdaptive(Boolean* adaptive) override {
        return guard([&] { *adaptive = BooleanFalse; });
    }
    ResultCode KESTREL_CALL markerPositions(OutArray* positions) override {
        return guard([&] { writeOut(positions, markers_); });
    }
    ResultCode KESTREL_CALL acceptRay(const Vec3f* up, const Vec3f* ray, Boolean* accepted) override {
        return guard([&] { *accepted = toBoolean(KestrelMath::dot(*up, *ray) < 0); });
    }
    ResultCode KESTREL_CALL matchRays(InArray* rays, Boolean* found, OutArray* indices, Pose* pose) override {
        return guard([&] {
            ++matchRaysCalls;
            const auto* data = static_cast<const Vec3f*>(rays->data);
            std::vector<Vec3f> levelled(data, data + rays->count);
            std::vector<MarkerIndex> result;
            Pose p{};
            const bool ok = orientationMatch && orientationMatch(levelled, result, p);
            *found = toBoolean(ok);
            if (ok) {
                writeOut(indices, result);
                *pose = p;
            }
        });
    }
    ResultCode KESTREL_CALL matchNearPosition(InArray* rays, const Vec3f* origin, OutArray* indices) override {
        return guard([&] {
            ++matchNearCalls;
            const auto* data = static_cast<const Vec3f*>(rays->data);
            std::vector<Vec3f> world(data, data + rays->count);
            writeOut(indices, poseMatch ? poseMatch(world, *origin) : nearest(world, d3(*origin)));
        });
    }

private:
    std::vector<Vec3f> markers_;
};

} // namespace TrackingTest
