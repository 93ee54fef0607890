#pragma once
// Residual of one ray against its marker and its two rows of the 12-column Jacobian, for the
// pose optimisation over the History.
//
// State (at the newest frame, time 0): position p0, rotation R0 (tracker to environment),
// velocity v0, accelerometer correction c (g, tracker frame). Parameter delta, 12 entries:
// position (0..2), velocity (3..5), rotation vector (6..8), correction (9..11), applied as
//     p0 += dp,  v0 += dv,  R0 := exp(dtheta) R0,  c += 0.5 ds.
//
// Carrying the state back over the leap L of the next older frame (duration dt, rotation q,
// deltas Dp, Dv, sensitivities Sp, Sv), gravity left out:
//     R' = R q*,  v' = v - R' (Dv + Sv c),  p' = p - v' dt - R' (Dp + Sp c),  t' = t - dt.
// So at frame time t <= 0:  p_t = p0 + v0 t + W_t, where W_t is the double integral of the
// specific force turned into the environment, and the true position is p_t - 4.905 t^2 y.
//
// Ray with marker M, image point m:
//     c_t = p_t - 4.905 t^2 y + 0.0162 R_t z     (camera, 16.2 mm along the tracker's z axis)
//     y_t = R_t^T (M - c_t),  D = |y_t|,  d = y_t / D
//     r   = P(d) - m,  P(d) = (d_x, d_y) / |(d_x, d_y, d_z + xi)|   (Part of CameraProjection.h)
//
// Derivatives, with J = -dP/dv at d (CameraProjection's projection derivative; P is homogeneous
// of degree 0, so dP/dy at y_t is -J / D):
//   position:   dr/dp0 = -J/D R_t^T (-I)              = J R_t^T / D  =: G   (2 by 3)
//   velocity:   p_t moves by dv0 t                    -> G t
//   rotation:   exp(dtheta) turns R_t and the specific-force part W_t (gravity stays), so
//               dy_t = R_t^T exp(-dtheta) (M - c_t) - R_t^T (dtheta x W_t + 0.0162 dtheta x R_t z)
//                    = R_t^T [M - c_t + W_t + 0.0162 R_t z]x dtheta = R_t^T [M - p0 - v0 t + 4.905 t^2 y]x dtheta
//               -> dr/dtheta = -G [M - c_t + W_t + 0.0162 R_t z]x
//   correction: dp_t/dc = C_t accumulated along the carry (C' = C - dt V' - R' Sp, V' = V - R' Sv,
//               both 0 at the newest frame; the rotations held fixed), and c moves by 0.5 ds
//               -> 0.5 G C_t.
// Every column is checked against central differences of the full carry-back in the tests.

#include <Eigen/Core>
#include <Eigen/Geometry>

#include "tracking/runtime/inertial/LeapSummary.h"
#include "tracking/runtime/optimizer/OptimizerState.h"
#include "tracking/runtime/pipeline/Ray.h"

namespace Kestrel::Orb::Tracking {

constexpr double cameraOffset = 0.0162;          // metres along the tracker's z axis
constexpr double storedDerivativeLimit = 2.5e-5;  // squared residual below which the ray's own J is used

// The state carried back to one History frame.
struct FramePose {
    Eigen::Vector3d position;                 // p_t, gravity left out
    Eigen::Quaterniond rotation;              // R_t
    Eigen::Vector3d velocity;                 // v_t, gravity left out
    double time = 0;                          // t <= 0, relative to the newest frame
    Eigen::Vector3d inertialDisplacement;     // W_t = p_t - p0 - v0 t
    Eigen::Matrix3d positionByCorrection;     // C_t = dp_t / dc
    Eigen::Matrix3d velocityByCorrection;     // dv_t / dc
};

// Walks from the newest frame to older ones.
class StateCarrier {
public:
    explicit StateCarrier(const OptimizerState& state);
    const FramePose& pose() const { return pose_; }
    // Moves to the next older frame, whose leap ends where the current frame starts.
    void stepBack(const LeapSummary& olderLeap);

private:
    Eigen::Vector3d position0_, velocity0_, correction_;
    FramePose pose_;
};

struct RayLinearisation {
    Eigen::Vector2d residual;
    double squaredResidual = 0;
    Eigen::Matrix<double, 2, 12> jacobian;
};

// Camera position c_t of the frame.
Eigen::Vector3d cameraPosition(const FramePose& pose);
// r = P(d) - m only.
Eigen::Vector2d rayResidual(const FramePose& pose, const Eigen::Vector3d& marker, const Ray& ray, double xi);
// r and its rows; J from the ray itself when |r|^2 < storedDerivativeLimit, else at d.
RayLinearisation linearise(const FramePose& pose, const Eigen::Vector3d& marker, const Ray& ray, double xi);

// Applies a 12-entry delta as described above (rotation renormalised).
void applyDelta(OptimizerState& state, const Eigen::Matrix<double, 12, 1>& delta);

Eigen::Quaterniond toEigen(const KestrelMath::quaternion<float>& q);
KestrelMath::quaternion<float> fromEigen(const Eigen::Quaterniond& q);
Eigen::Vector3d toEigen(const KestrelMath::vector<float, 3>& v);
KestrelMath::vector<float, 3> fromEigen(const Eigen::Vector3d& v);

} // namespace Kestrel::Orb::Tracking
