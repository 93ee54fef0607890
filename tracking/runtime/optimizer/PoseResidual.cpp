#include "tracking/runtime/optimizer/PoseResidual.h"

#include <cmath>

#include "tracking/runtime/calibration/CameraProjection.h"
#include "tracking/runtime/inertial/LeapApplication.h"

namespace Kestrel::Orb::Tracking {

namespace {

constexpr double halfGravity = 4.905;

Eigen::Matrix3d matrix9(const float m[9]) {
    Eigen::Matrix3d result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            result(r, c) = m[r * 3 + c];
    return result;
}

Eigen::Vector3d vector3(const float v[3]) { return Eigen::Vector3d(v[0], v[1], v[2]); }

Eigen::Matrix3d skew(const Eigen::Vector3d& v) {
    Eigen::Matrix3d s;
    s << 0, -v.z(), v.y(), v.z(), 0, -v.x(), -v.y(), v.x(), 0;
    return s;
}

Eigen::Quaterniond rotationFromVector(const Eigen::Vector3d& r) {
    const double angle = r.norm();
    if (angle == 0)
        return Eigen::Quaterniond::Identity();
    return Eigen::Quaterniond(Eigen::AngleAxisd(angle, r / angle));
}

} // namespace

Eigen::Quaterniond toEigen(const KestrelMath::quaternion<float>& q) { return Eigen::Quaterniond(q.w, q.x, q.y, q.z); }
KestrelMath::quaternion<float> fromEigen(const Eigen::Quaterniond& q) {
    return {float(q.x()), float(q.y()), float(q.z()), float(q.w())};
}
Eigen::Vector3d toEigen(const KestrelMath::vector<float, 3>& v) { return Eigen::Vector3d(v[0], v[1], v[2]); }
KestrelMath::vector<float, 3> fromEigen(const Eigen::Vector3d& v) { return {{float(v.x()), float(v.y()), float(v.z())}}; }

StateCarrier::StateCarrier(const OptimizerState& state)
    : position0_(toEigen(state.position)), velocity0_(toEigen(state.velocity)),
      correction_(toEigen(state.accelerometerCorrection)) {
    pose_.position = position0_;
    pose_.rotation = toEigen(state.rotation).normalized();
    pose_.velocity = velocity0_;
    pose_.time = 0;
    pose_.inertialDisplacement.setZero();
    pose_.positionByCorrection.setZero();
    pose_.velocityByCorrection.setZero();
}

void StateCarrier::stepBack(const LeapSummary& leap) {
    const double dt = leap.duration;
    const Eigen::Matrix3d sp = matrix9(leap.positionSensitivity);
    const Eigen::Matrix3d sv = matrix9(leap.velocitySensitivity);
    const Eigen::Quaterniond older = (pose_.rotation * toEigen(leapRotation(leap)).conjugate()).normalized();
    const Eigen::Matrix3d r = older.toRotationMatrix();
    pose_.rotation = older;
    pose_.velocity -= r * (vector3(leap.velocityDelta) + sv * correction_);
    pose_.position -= pose_.velocity * dt + r * (vector3(leap.positionDelta) + sp * correction_);
    pose_.time -= dt;
    pose_.velocityByCorrection -= r * sv;
    pose_.positionByCorrection -= dt * pose_.velocityByCorrection + r * sp;
    pose_.inertialDisplacement = pose_.position - position0_ - velocity0_ * pose_.time;
}

Eigen::Vector3d cameraPosition(const FramePose& pose) {
    Eigen::Vector3d camera = pose.position + cameraOffset * (pose.rotation * Eigen::Vector3d::UnitZ());
    camera.y() -= halfGravity * pose.time * pose.time;
    return camera;
}

namespace {

Eigen::Vector2d project(const Eigen::Vector3d& d, double xi) {
    const double shifted = d.z() + xi;
    if (shifted < 0)
        return d.head<2>() / d.head<2>().norm();
    return d.head<2>() / std::sqrt(d.x() * d.x() + d.y() * d.y() + shifted * shifted);
}

} // namespace

Eigen::Vector2d rayResidual(const FramePose& pose, const Eigen::Vector3d& marker, const Ray& ray, double xi) {
    const Eigen::Vector3d y = pose.rotation.conjugate() * (marker - cameraPosition(pose));
    return project(y.normalized(), xi) - Eigen::Vector2d(ray.point[0], ray.point[1]);
}

RayLinearisation linearise(const FramePose& pose, const Eigen::Vector3d& marker, const Ray& ray, double xi) {
    RayLinearisation result;
    const Eigen::Vector3d camera = cameraPosition(pose);
    const Eigen::Vector3d y = pose.rotation.conjugate() * (marker - camera);
    const double distance = y.norm();
    const Eigen::Vector3d d = y / distance;
    result.residual = project(d, xi) - Eigen::Vector2d(ray.point[0], ray.point[1]);
    result.squaredResidual = result.residual.squaredNorm();

    float derivative[6];
    if (result.squaredResidual < storedDerivativeLimit)
        std::copy(ray.projectionDerivative, ray.projectionDerivative + 6, derivative);
    else
        projectionDerivative(fromEigen(d), float(xi), derivative);
    Eigen::Matrix<double, 2, 3> j;
    j << derivative[0], derivative[1], derivative[2], derivative[3], derivative[4], derivative[5];

    // G = J R_t^T / D: the position columns in environment coordinates.
    const Eigen::Matrix<double, 2, 3> g = j * pose.rotation.conjugate().toRotationMatrix() / distance;
    const Eigen::Vector3d lever =
        marker - camera + pose.inertialDisplacement + cameraOffset * (pose.rotation * Eigen::Vector3d::UnitZ());
    result.jacobian.block<2, 3>(0, 0) = g;
    result.jacobian.block<2, 3>(0, 3) = g * pose.time;
    result.jacobian.block<2, 3>(0, 6) = -g * skew(lever);
    result.jacobian.block<2, 3>(0, 9) = 0.5 * g * pose.positionByCorrection;
    return result;
}

void applyDelta(OptimizerState& state, const Eigen::Matrix<double, 12, 1>& delta) {
    state.position = fromEigen(toEigen(state.position) + delta.segment<3>(0));
    state.velocity = fromEigen(toEigen(state.velocity) + delta.segment<3>(3));
    state.rotation = fromEigen((rotationFromVector(delta.segment<3>(6)) * toEigen(state.rotation)).normalized());
    state.accelerometerCorrection = fromEigen(toEigen(state.accelerometerCorrection) + 0.5 * delta.segment<3>(9));
}

void propagate(OptimizerState& state, const LeapSummary& leap) {
    applyLeapSummary(leap, state.position, state.rotation, state.velocity, state.accelerometerCorrection);
    state.rotation = state.rotation.normalized();
}

} // namespace Kestrel::Orb::Tracking
