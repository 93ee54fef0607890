#include "tracking/environments/OrbEnvironmentQuadrangle.h"

#include <cmath>
#include <stdexcept>

#include "interface_contract/Marshal.h"
#include "tracking/environments/BarDetector.h"
#include "tracking/environments/EnvironmentKinds.h"
#include "tracking/environments/QuadrangleClock.h"
#include "tracking/environments/QuadrangleCornerFit.h"
#include "tracking/environments/RayProjection.h"

namespace Kestrel::Orb::Tracking {

using InterfaceContract::guard;
using InterfaceContract::toBoolean;

namespace {

Eigen::Vector3d toEigen(const Vec3f& v) { return Eigen::Vector3d(v[0], v[1], v[2]); }
Eigen::Quaterniond toEigen(const Quatf& q) { return Eigen::Quaterniond(q.w, q.x, q.y, q.z); }

// Rotation about +y by `angle`: maps (1, 0, 0) to (cos, 0, -sin).
Eigen::Quaterniond aboutY(double angle) { return Eigen::Quaterniond(Eigen::AngleAxisd(angle, Eigen::Vector3d::UnitY())); }

double heading(const Eigen::Vector2d& direction) { return std::atan2(direction.y(), direction.x()); }

// 2D rotation [[cos, -sin], [sin, cos]] applied to v.
Eigen::Vector2d rotate(double angle, const Eigen::Vector2d& v) {
    const double c = std::cos(angle), s = std::sin(angle);
    return Eigen::Vector2d(c * v.x() - s * v.y(), s * v.x() + c * v.y());
}

std::vector<Eigen::Vector3d> toEigen(const std::vector<Vec3f>& rays) {
    std::vector<Eigen::Vector3d> result;
    result.reserve(rays.size());
    for (const Vec3f& ray : rays)
        result.push_back(toEigen(ray));
    return result;
}

} // namespace

Quatf levellingRotation(const Vec3f& up) {
    const float length = std::sqrt(KestrelMath::dot(up, up));
    const Vec3f v = length > 0 ? up * (1 / length) : Vec3f{{0, 1, 0}};
    const float w = 1 + v.y();
    if (w < 1e-6f)
        return Quatf{1, 0, 0, 0};
    const float norm = std::sqrt(2 * w);
    return Quatf{-v.z() / norm, 0, v.x() / norm, w / norm};
}

OrbEnvironmentQuadrangle::OrbEnvironmentQuadrangle(float barLength_, float middleRatio_)
    : OrbEnvironment(barLength_, middleRatio_) {
    markerGrid.rebuild({}, 0.5f);
}

std::vector<Vec3f> OrbEnvironmentQuadrangle::markerPositions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Vec3f> markers;
    markers.reserve(12);
    for (const BarPose2& bar : barPoses_)
        for (float along : barMarkerX)
            markers.push_back(Vec3f{{float(bar.x + std::cos(bar.heading) * along), 0.0f,
                                     float(bar.y + std::sin(bar.heading) * along)}});
    return markers;
}

std::array<BarPose2, 4> OrbEnvironmentQuadrangle::barPoses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return barPoses_;
}

AccumulatedCorners OrbEnvironmentQuadrangle::referenceCorners() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return *corners_;
}

bool OrbEnvironmentQuadrangle::seeFloor(const std::vector<Vec3f>& levelledRays, FloorSides& floor) {
    const std::vector<Vec2f> points = projectRays(levelledRays);
    floor.bars = findBars(points, middleRatio, defaultDetectorShape, defaultDetectorScale);
    serveBarDetection(points, floor.bars, defaultDetectorShape, defaultDetectorScale);
    if (floor.bars.size() < 2)
        return false;
    floor.view = searchTilt(toEigen(levelledRays), floor.bars, barLength, middleRatio);
    if (!floor.view.valid)
        return false;
    floor.sides = assignSides(floor.view.bars, barLength);
    return floor.sides.assigned;
}

bool OrbEnvironmentQuadrangle::matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) {
    if (rays.size() < 3)
        return false;
    FloorSides floor;
    if (!seeFloor(rays, floor))
        return false;
    indices.assign(rays.size(), unmatchedMarker);
    for (int side = 0; side < 4; ++side)
        if (floor.sides.bar[side] >= 0)
            for (int k = 0; k < 3; ++k)
                indices[floor.bars[floor.sides.bar[side]][k]] = side * 3 + k;
    if (revision_.load() < 0)
        return false;
    const std::array<BarPose2, 4> poses = barPoses();

    // The floor view's yaw against the learned layout, averaged over the assigned sides.
    double yaw = 0;
    Eigen::Vector2d seenMidpoint = Eigen::Vector2d::Zero(), layoutMidpoint = Eigen::Vector2d::Zero();
    int assigned = 0;
    for (int side = 0; side < 4; ++side) {
        const int bar = floor.sides.bar[side];
        if (bar < 0)
            continue;
        const FloorBar& seen = floor.view.bars[bar];
        yaw += wrapAngle(poses[side].heading - heading(seen.direction()));
        seenMidpoint += seen.midpoint();
        layoutMidpoint += Eigen::Vector2d(poses[side].x, poses[side].y);
        ++assigned;
    }
    yaw /= assigned;
    seenMidpoint /= assigned;
    layoutMidpoint /= assigned;
    const Eigen::Vector2d floorTranslation = layoutMidpoint - rotate(yaw, seenMidpoint);
    const Eigen::Quaterniond yawRotation = aboutY(-yaw);
    const Eigen::Vector3d position =
        Eigen::Vector3d(floorTranslation.x(), 0, floorTranslation.y()) + yawRotation * Eigen::Vector3d(0, floor.view.height, 0);
    const Eigen::Quaterniond rotation = (yawRotation * floor.view.tilt).normalized();
    const Pose result{Vec3f{{float(position.x()), float(position.y()), float(position.z())}},
                      Quatf{float(rotation.x()), float(rotation.y()), float(rotation.z()), float(rotation.w())}};
    for (float value : {result.position.x(), result.position.y(), result.position.z(), result.rotation.x,
                        result.rotation.y, result.rotation.z, result.rotation.w})
        if (!std::isfinite(value))
            return false;
    pose = result;
    return true;
}

std::optional<ReferenceCorner> OrbEnvironmentQuadrangle::observeCorner(int corner, const FloorSides& floor, const Quatf& levelling,
                                                                       const std::vector<EnvironmentUpdateRay>& rays, float xi) const {
    const int first = floor.sides.bar[corner], second = floor.sides.bar[(corner + 1) % 4];
    const FloorBar& from = floor.view.bars[first];
    const FloorBar& to = floor.view.bars[second];
    const double fromHeading = heading(from.direction());

    // Starting values from the floor view: the floor frame is the levelled, tilted tracker
    // frame with the camera's foot at the origin; bar d's frame is it shifted to bar d's
    // midpoint and turned so that bar d runs along +x.
    CornerFitParameters start;
    const Eigen::Quaterniond bar_floor = aboutY(fromHeading);
    start.rotation_bar_tracker = (bar_floor * floor.view.tilt * toEigen(levelling)).normalized();
    start.position_bar = bar_floor * Eigen::Vector3d(-from.midpoint().x(), floor.view.height, -from.midpoint().y());
    const Eigen::Vector2d offset = rotate(-fromHeading, to.midpoint() - from.midpoint());
    start.relative = BarPose2{offset.x(), offset.y(), wrapAngle(heading(to.direction()) - fromHeading)};

    std::array<CornerFitRay, 6> fitRays;
    double valueSum = 0;
    for (int i = 0; i < 6; ++i) {
        const EnvironmentUpdateRay& ray = rays[floor.bars[i < 3 ? first : second][i % 3]];
        CornerFitRay& fit = fitRays[i];
        fit.direction = toEigen(ray.direction);
        fit.imagePoint = Eigen::Vector2d(ray.imagePoint[0], ray.imagePoint[1]);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 3; ++col)
                fit.derivative(row, col) = ray.projectionDerivative[row * 3 + col];
        fit.weight = std::max(0, ray.value);
        valueSum += fit.weight;
    }
    for (CornerFitRay& fit : fitRays)
        fit.weight = valueSum > 0 ? fit.weight * 6 / valueSum : 1.0;
    return fitCorner(fitRays, xi, barMarkerX, start);
}

bool OrbEnvironmentQuadrangle::update(const std::vector<EnvironmentUpdateRay>& rays, float xi, const Vec3f& up) {
    if (rays.size() < 3)
        return false;
    const Quatf levelling = levellingRotation(up);
    std::vector<Vec3f> levelled;
    levelled.reserve(rays.size());
    for (const EnvironmentUpdateRay& ray : rays)
        levelled.push_back(levelling.rotate(ray.direction));

    CornerObservations observations;
    FloorSides floor;
    const bool seen = seeFloor(levelled, floor);
    if (floor.bars.size() >= 2) {
        if (!seen)
            return false;
        seenCorners_.fetch_or(floor.sides.cornerCodes);
        for (int corner = 0; corner < 4; ++corner)
            if (floor.sides.bar[corner] >= 0 && floor.sides.bar[(corner + 1) % 4] >= 0)
                observations[corner] = observeCorner(corner, floor, levelling, rays, xi);
    }

    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = QuadrangleClock::now();
    const double seconds = QuadrangleClock::sinceLastUpdate(now);
    for (int corner = 0; corner < 4; ++corner) {
        decayCorner((*corners_)[corner], seconds);
        if (observations[corner])
            mergeCorner((*corners_)[corner], *observations[corner]);
    }
    referenceCornersHook.serve(observations, *corners_, barLength);

    if (seenCorners_.load() != 15)
        return false;
    const int64_t completed = QuadrangleClock::maskCompletedAt(now);
    if (revision_.load() < 0) {
        solution_ = QuadrangleOptimizationProblem::initialSolution(*corners_);
        solver_ = std::make_shared<LayoutSolver>(std::make_shared<const QuadrangleOptimizationProblem>(corners_));
    } else if (now - completed < solveDelayMicroseconds) {
        return false;
    }
    solveLocked();
    return true;
}

void OrbEnvironmentQuadrangle::solveLocked() {
    solver_->step(solution_);
    std::vector<Vec2f> points;
    for (int side = 0; side < 4; ++side) {
        barPoses_[side] = QuadrangleOptimizationProblem::side(solution_, side);
        const BarPose2& bar = barPoses_[side];
        for (float along : barMarkerX)
            points.push_back(Vec2f{{float(bar.x + std::cos(bar.heading) * along), float(bar.y + std::sin(bar.heading) * along)}});
    }
    markerGrid.rebuild(points, 0.5f);
    revision_.fetch_add(1);
}

ResultCode KESTREL_CALL OrbEnvironmentQuadrangle::update(InArray* rays, float xi, const Vec3f* up, Boolean* changed) {
    return guard([&] {
        if (!up || !changed)
            throw std::invalid_argument("null argument: up or changed");
        std::vector<EnvironmentUpdateRay> frame;
        if (rays && rays->data && rays->count > 0) {
            const auto* first = static_cast<const EnvironmentUpdateRay*>(rays->data);
            frame.assign(first, first + rays->count);
        }
        *changed = toBoolean(update(frame, xi, *up));
    });
}

ResultCode KESTREL_CALL OrbEnvironmentQuadrangle::revision(int32_t* value) {
    return guard([&] {
        if (!value)
            throw std::invalid_argument("null argument: revision");
        *value = revision();
    });
}

std::vector<MarkerIndex> OrbEnvironmentQuadrangle::matchNearPosition(const std::vector<Vec3f>& rays, const Vec3f& origin) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return OrbEnvironment::matchNearPosition(rays, origin);
}

ResultCode KESTREL_CALL OrbEnvironmentQuadrangle::matchNearPosition(InArray* rays, const Vec3f* origin, OutArray* indices) {
    std::lock_guard<std::mutex> lock(mutex_);
    return OrbEnvironment::matchNearPosition(rays, origin, indices);
}

InterfaceContract::Ref<IEnvironment> createQuadrangleEnvironment(const BarParameters& parameters) {
    return InterfaceContract::makeInterfaced<OrbEnvironmentQuadrangle, IEnvironment>(parameters.barLength, parameters.middleRatio);
}

} // namespace Kestrel::Orb::Tracking
