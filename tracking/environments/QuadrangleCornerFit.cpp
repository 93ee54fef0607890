#include "tracking/environments/QuadrangleCornerFit.h"

#include <cmath>

#include <Eigen/Cholesky>

#include "tracking/environments/RotationVector.h"
#include "tracking/environments/Solver.h"

namespace Kestrel::Orb::Tracking {

namespace {

Eigen::Vector2d project(const Eigen::Vector3d& u, double xi) {
    return Eigen::Vector2d(u.x(), u.y()) / Eigen::Vector3d(u.x(), u.y(), u.z() + xi).norm();
}

} // namespace

CornerFitProblem::CornerFitProblem(const std::array<CornerFitRay, 6>& rays, double xi, const float barMarkerX[3])
    : rays_(rays), xi_(xi), barMarkerX_{barMarkerX[0], barMarkerX[1], barMarkerX[2]} {}

Eigen::Vector3d CornerFitProblem::marker(const Parameters& x, int i) const {
    const double along = barMarkerX_[i % 3];
    if (i < 3)
        return Eigen::Vector3d(along, 0, 0);
    return Eigen::Vector3d(x.relative.x + std::cos(x.relative.heading) * along, 0,
                           x.relative.y + std::sin(x.relative.heading) * along);
}

Eigen::VectorXd CornerFitProblem::residuals(const Parameters& x) const {
    Eigen::VectorXd r(12);
    const Eigen::Matrix3d tracker_bar = x.rotation_bar_tracker.toRotationMatrix().transpose();
    for (int i = 0; i < 6; ++i) {
        const Eigen::Vector3d v = tracker_bar * (marker(x, i) - x.position_bar);
        r.segment<2>(2 * i) = std::sqrt(rays_[i].weight) * (project(v.normalized(), xi_) - rays_[i].imagePoint);
    }
    return r;
}

Eigen::Matrix<double, Eigen::Dynamic, CornerFitProblem::parameterCount> CornerFitProblem::jacobian(const Parameters& x) const {
    Eigen::Matrix<double, Eigen::Dynamic, parameterCount> j =
        Eigen::Matrix<double, Eigen::Dynamic, parameterCount>::Zero(12, parameterCount);
    const Eigen::Matrix3d tracker_bar = x.rotation_bar_tracker.toRotationMatrix().transpose();
    for (int i = 0; i < 6; ++i) {
        const Eigen::Vector3d offset = marker(x, i) - x.position_bar;
        const Eigen::Vector3d v = tracker_bar * offset;
        const Eigen::Matrix<double, 2, 3> byV = -std::sqrt(rays_[i].weight) * rays_[i].derivative / v.norm();
        const Eigen::Matrix<double, 2, 3> byOffset = byV * tracker_bar;
        auto rows = j.block<2, parameterCount>(2 * i, 0);
        rows.block<2, 3>(0, 0) = byOffset * skew(offset);
        rows.block<2, 3>(0, 3) = -byOffset;
        if (i >= 3) {
            const double along = barMarkerX_[i % 3];
            rows.col(6) = byOffset.col(0);
            rows.col(7) = byOffset.col(2);
            rows.col(8) = byOffset * Eigen::Vector3d(-std::sin(x.relative.heading) * along, 0,
                                                     std::cos(x.relative.heading) * along);
        }
    }
    return j;
}

CornerFitProblem::Parameters CornerFitProblem::applyStep(const Parameters& x, const Step& delta) const {
    Parameters stepped;
    stepped.rotation_bar_tracker = (rotationFromVector(delta.segment<3>(0)) * x.rotation_bar_tracker).normalized();
    stepped.position_bar = x.position_bar + delta.segment<3>(3);
    stepped.relative = BarPose2{x.relative.x + delta[6], x.relative.y + delta[7], x.relative.heading + delta[8]};
    return stepped;
}

std::optional<ReferenceCorner> fitCorner(const std::array<CornerFitRay, 6>& rays, double xi,
                                         const float barMarkerX[3], const CornerFitParameters& start) {
    auto problem = std::make_shared<const CornerFitProblem>(rays, xi, barMarkerX);
    Solver<CornerFitProblem> solver(problem);
    CornerFitParameters fitted = start;
    solver.step(fitted);

    const Eigen::VectorXd residuals = problem->residuals(fitted);
    if (!residuals.allFinite() || std::sqrt(residuals.squaredNorm() / double(residuals.size())) > cornerFitResidualLimit)
        return std::nullopt;
    const Eigen::Matrix<double, 9, 9> information = [&] {
        const Eigen::Matrix<double, Eigen::Dynamic, 9> j = problem->jacobian(fitted);
        return Eigen::Matrix<double, 9, 9>(j.transpose() * j);
    }();
    const Eigen::LDLT<Eigen::Matrix<double, 9, 9>> factor(information);
    if (factor.info() != Eigen::Success || !factor.isPositive())
        return std::nullopt;
    const Eigen::Matrix<double, 9, 9> covariance =
        cornerFitImageNoise * cornerFitImageNoise * factor.solve(Eigen::Matrix<double, 9, 9>::Identity());
    if (!covariance.allFinite() || (factor.vectorD().array() <= 0).any())
        return std::nullopt;

    auto weight = [&](int index) {
        const double variance = covariance(index, index);
        return float(1 / (1 + variance / (cornerFitReferenceSpread * cornerFitReferenceSpread)));
    };
    ReferenceCorner corner;
    corner.x = float(fitted.relative.x);
    corner.y = float(fitted.relative.y);
    corner.heading = float(wrapAngle(fitted.relative.heading));
    corner.weightX = weight(6);
    corner.weightY = weight(7);
    corner.weightHeading = weight(8);
    return corner;
}

} // namespace Kestrel::Orb::Tracking
