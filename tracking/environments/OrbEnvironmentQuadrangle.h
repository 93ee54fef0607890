#pragma once
// Four bars on the floor along the sides of a quadrangle whose exact layout is learned while
// tracking. Every frame that shows two bars of one corner observes where the second bar lies
// relative to the first; the observations are averaged with exponential forgetting, and a
// damped least-squares solver refines the four bar poses from the four averaged corners.
//
// Layout: side 0's bar lies at the origin with heading 0 (along +x); sides 1..3 are solved
// relative to it. Side j's markers are j*3 + k (k = 0 first, 1 middle, 2 last) at
//     (x + cos(heading) barMarkerX[k], 0, z + sin(heading) barMarkerX[k]).
// Before the first solution (revision -1) the poses are all zero and no marker can be matched
// near a position.
//
// Threads: update runs on the optimisation side while matchRays, markerPositions and
// matchNearPosition may run on the frame path; one mutex guards the accumulated corners, the
// solution, the bar poses and the marker grid. seenCorners is an atomic mask.

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/QuadrangleOptimizationProblem.h"
#include "tracking/environments/QuadrangleTiltSearch.h"
#include "tracking/environments/ReferenceCorner.h"
#include "tracking/environments/Solver.h"

namespace Kestrel::Orb::Tracking {

// Callback data of the reference-corner hook: this frame's observations, the accumulated
// corners after merging them, and the bar length.
using ReferenceCornersHook = DebugHook<const CornerObservations&, const AccumulatedCorners&, float>;

class OrbEnvironmentQuadrangle final : public OrbEnvironment, public InterfaceContract::Implements<IEnvironmentMutable> {
public:
    // Solving waits this long after the first quadrangle of the process saw all corners.
    static constexpr int64_t solveDelayMicroseconds = 200001;

    OrbEnvironmentQuadrangle(float barLength, float middleRatio);
    using OrbEnvironment::markerPositions;
    using OrbEnvironment::matchRays;

    bool isAdaptive() const override { return true; }
    // -1 until the first solution, then one more after every solver step.
    int32_t revision() const override { return revision_.load(); }
    std::vector<Vec3f> markerPositions() const override;

    // Rays are levelled by the caller. Finds the bars (two or more, of at least one corner),
    // assigns them to sides and writes j*3 + k for the rays of side j (-1 elsewhere). Only with
    // a solution is the pose computed and true returned; before it, indices may be written
    // while the answer is false.
    bool matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) override;

    // The base's matching near a position, under this environment's lock.
    std::vector<MarkerIndex> matchNearPosition(const std::vector<Vec3f>& rays, const Vec3f& origin) const;

    // Feeds one frame (tracker frame rays with the camera model's xi, and the up direction).
    // True when it produced a new solution.
    bool update(const std::vector<EnvironmentUpdateRay>& rays, float xi, const Vec3f& up);

    std::array<BarPose2, 4> barPoses() const;
    AccumulatedCorners referenceCorners() const;
    // Bit d: a frame has shown corner d. 15: all four.
    uint8_t seenCorners() const { return seenCorners_.load(); }

    ReferenceCornersHook referenceCornersHook;

    // IEnvironmentMutable
    ResultCode KESTREL_CALL update(InArray* rays, float xi, const Vec3f* up, Boolean* changed) override;
    ResultCode KESTREL_CALL revision(int32_t* revision) override;
    // IEnvironment: the base's matching, under this environment's lock.
    ResultCode KESTREL_CALL matchNearPosition(InArray* rays, const Vec3f* origin, OutArray* indices) override;

private:
    using LayoutSolver = Solver<QuadrangleOptimizationProblem>;

    // The bars of one (levelled) frame on the floor, with their sides.
    struct FloorSides {
        std::vector<Bar> bars;
        FloorView view;
        SideAssignment sides;
    };
    // Detects the bars among the levelled rays (serving the bar detection hook), searches the
    // tilt and assigns sides; nothing when fewer than two bars were seen (`bars` holds them).
    bool seeFloor(const std::vector<Vec3f>& levelledRays, FloorSides& floor);
    std::optional<ReferenceCorner> observeCorner(int corner, const FloorSides& floor, const Quatf& levelling,
                                                 const std::vector<EnvironmentUpdateRay>& rays, float xi) const;
    // One solver step and everything that follows it; under the lock.
    void solveLocked();

    mutable std::mutex mutex_;
    std::array<BarPose2, 4> barPoses_{};
    std::shared_ptr<AccumulatedCorners> corners_ = std::make_shared<AccumulatedCorners>();
    QuadrangleOptimizationProblem::Parameters solution_ = QuadrangleOptimizationProblem::Parameters::Zero();
    std::shared_ptr<LayoutSolver> solver_;
    std::atomic<uint8_t> seenCorners_{0};
    std::atomic<int32_t> revision_{-1};
};

// The shortest-arc rotation that turns the unit vector `up` onto +y:
// (-z, 0, x, 1 + y) / sqrt(2 (1 + y)); a half turn about x when `up` points down.
Quatf levellingRotation(const Vec3f& up);

} // namespace Kestrel::Orb::Tracking
