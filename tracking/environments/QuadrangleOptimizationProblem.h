#pragma once
// The layout of the four bars as a least-squares problem over the accumulated corners.
//
// Parameters (nine): the floor poses of sides 1, 2 and 3 in the frame of side 0, which stays
// at the origin with heading 0:
//     x = (x1, y1, h1, x2, y2, h2, x3, y3, h3)
// (y is the floor's second axis, the environment's z). Steps are added.
//
// Residuals (twelve): for corner d = 0..3 between side d (pose P_d, h_d) and side e = d + 1
// mod 4, with the corner's accumulated value (cx, cy, ch) and weights (wx, wy, wh):
//     predicted offset  o = R(-h_d) (P_e - P_d),   predicted heading  t = h_e - h_d
//     r = (wx (cx - o_x), wy (cy - o_y), wh wrap(ch - t))
// R the 2D rotation [[cos, -sin], [sin, cos]]. Corner 3 closes the loop back to side 0, so
// the four corners must agree on one layout.
//
// Jacobian, with c = cos h_d, s = sin h_d and D = P_e - P_d:
//     do_x/dP_e = ( c, s),  do_x/dP_d = (-c, -s),  do_x/dh_d =  o_y
//     do_y/dP_e = (-s, c),  do_y/dP_d = ( s, -c),  do_y/dh_d = -o_x
//     dt/dh_e = 1,          dt/dh_d = -1
// and dr = -w do (columns of side 0 are dropped).

#include <array>
#include <memory>

#include <Eigen/Core>

#include "tracking/environments/ReferenceCorner.h"

namespace Kestrel::Orb::Tracking {

struct BarPose2 {
    double x = 0;
    double y = 0;        // the environment's z
    double heading = 0;  // radians; the bar's direction is (cos, sin) in (x, z)
};

class QuadrangleOptimizationProblem {
public:
    static constexpr int parameterCount = 9;
    static constexpr int residualCount = 12;
    using Parameters = Eigen::Matrix<double, parameterCount, 1>;

    // The corners are shared with the environment, which updates them between steps.
    explicit QuadrangleOptimizationProblem(std::shared_ptr<const AccumulatedCorners> corners);

    Eigen::VectorXd residuals(const Parameters& x) const;
    Eigen::Matrix<double, Eigen::Dynamic, parameterCount> jacobian(const Parameters& x) const;
    Parameters applyStep(const Parameters& x, const Parameters& delta) const { return x + delta; }

    // Pose of side 0..3 under the parameters (side 0 at the origin, heading 0).
    static BarPose2 side(const Parameters& x, int index);
    // Side 0 at the origin and sides 1..3 each composed with the previous corner:
    // P_(k+1) = P_k + R(h_k) (c_k.x, c_k.y), h_(k+1) = h_k + c_k.heading. Corner 3 is not used.
    static Parameters initialSolution(const AccumulatedCorners& corners);

private:
    std::shared_ptr<const AccumulatedCorners> corners_;
};

} // namespace Kestrel::Orb::Tracking
