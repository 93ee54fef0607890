#pragma once
// One frame's observation of one corner: the pose of bar e = d + 1 in the frame of bar d,
// refined by a least-squares fit of the two bars' six markers to their six rays.
//
// Frames: the bar frame of bar d has its first-to-last direction as x, y up and the floor at
// y = 0; its markers are (X_k, 0, 0) with X_k = barMarkerX[k]. Bar e sits at offset (x, y) and
// heading t in it: its markers are (x + cos t X_k, 0, y + sin t X_k).
//
// Parameters (nine): the camera's rotation R (tracker -> bar frame, updated on the left by a
// rotation vector w: R := exp(w) R), its position p in the bar frame, and (x, y, t).
//
// How the frame's data enter. Each ray i, aimed at marker M_i, contributes two residuals in
// the image plane of the camera model with parameter xi:
//     v_i = R^T (M_i - p),  r_i = sqrt(w_i) (P(v_i / |v_i|) - m_i),
//     P(u) = (u_x, u_y) / |(u_x, u_y, u_z + xi)|
// with m_i the ray's image point and w_i its blob value divided by the six rays' mean value
// (brighter blobs have the steadier centroids; all weights 1 when the values are 0). The
// Jacobian uses the ray's projection derivative J_i = -dP/du at its observed direction, which
// differs from the one at the predicted direction only by the residual:
//     dr_i/dv = -sqrt(w_i) J_i / |v_i|
//     dv/dw = R^T [M_i - p]x,  dv/dp = -R^T,  dv/d(x, y, t) = R^T (1 0 0 | 0 0 1 | -sin t X_k, 0, cos t X_k)
// (the last three only for the markers of bar e). One damped step (Solver) is taken from the
// starting values made from the floor view.
//
// Weights of the observation: with the image noise sigma = 0.0005 (half a milliradian) the
// covariance of the parameters is sigma^2 (J^T J)^-1; for (x, y, t) with variances s^2 the
// weights are 1 / (1 + s^2 / 0.01^2) (0.01 m, 0.01 m, 0.01 rad): close to 1 for a clear view,
// towards 0 for a poorly conditioned one. A fit whose root-mean-square residual stays above
// 0.005 (a misread bar, a wrong pair of sides) gives no observation, nor does a singular one.

#include <array>
#include <memory>
#include <optional>

#include <Eigen/Core>
#include <Eigen/Geometry>

#include "tracking/environments/QuadrangleOptimizationProblem.h"
#include "tracking/environments/ReferenceCorner.h"

namespace Kestrel::Orb::Tracking {

struct CornerFitRay {
    Eigen::Vector3d direction;              // unit, tracker frame
    Eigen::Vector2d imagePoint;
    Eigen::Matrix<double, 2, 3> derivative;  // -dP/du at `direction`
    double weight = 1;
};

struct CornerFitParameters {
    Eigen::Quaterniond rotation_bar_tracker = Eigen::Quaterniond::Identity();
    Eigen::Vector3d position_bar = Eigen::Vector3d::Zero();  // camera in the frame of bar d
    BarPose2 relative;                                       // bar e in the frame of bar d
};

class CornerFitProblem {
public:
    static constexpr int parameterCount = 9;
    using Parameters = CornerFitParameters;
    using Step = Eigen::Matrix<double, parameterCount, 1>;

    // Rays 0..2 see the first, middle and last marker of bar d, rays 3..5 those of bar e.
    CornerFitProblem(const std::array<CornerFitRay, 6>& rays, double xi, const float barMarkerX[3]);

    Eigen::VectorXd residuals(const Parameters& x) const;
    Eigen::Matrix<double, Eigen::Dynamic, parameterCount> jacobian(const Parameters& x) const;
    Parameters applyStep(const Parameters& x, const Step& delta) const;

    // Marker i (0..5) in the frame of bar d.
    Eigen::Vector3d marker(const Parameters& x, int i) const;

private:
    std::array<CornerFitRay, 6> rays_;
    double xi_;
    double barMarkerX_[3];
};

constexpr double cornerFitImageNoise = 0.0005;
constexpr double cornerFitReferenceSpread = 0.01;
constexpr double cornerFitResidualLimit = 0.005;

// Refines `start` by one step and derives the observation with its weights.
std::optional<ReferenceCorner> fitCorner(const std::array<CornerFitRay, 6>& rays, double xi,
                                         const float barMarkerX[3], const CornerFitParameters& start);

} // namespace Kestrel::Orb::Tracking
