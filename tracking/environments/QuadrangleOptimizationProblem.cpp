#include "tracking/environments/QuadrangleOptimizationProblem.h"

#include <cmath>
#include <utility>

namespace Kestrel::Orb::Tracking {

QuadrangleOptimizationProblem::QuadrangleOptimizationProblem(std::shared_ptr<const AccumulatedCorners> corners)
    : corners_(std::move(corners)) {}

BarPose2 QuadrangleOptimizationProblem::side(const Parameters& x, int index) {
    if (index == 0)
        return {};
    const int first = (index - 1) * 3;
    return {x[first], x[first + 1], x[first + 2]};
}

Eigen::VectorXd QuadrangleOptimizationProblem::residuals(const Parameters& x) const {
    Eigen::VectorXd r(residualCount);
    for (int d = 0; d < 4; ++d) {
        const BarPose2 from = side(x, d), to = side(x, (d + 1) % 4);
        const double c = std::cos(from.heading), s = std::sin(from.heading);
        const double dx = to.x - from.x, dy = to.y - from.y;
        const double offsetX = c * dx + s * dy, offsetY = -s * dx + c * dy;
        const ReferenceCorner& corner = (*corners_)[d];
        r[3 * d] = corner.weightX * (corner.x - offsetX);
        r[3 * d + 1] = corner.weightY * (corner.y - offsetY);
        r[3 * d + 2] = corner.weightHeading * wrapAngle(double(corner.heading) - (to.heading - from.heading));
    }
    return r;
}

Eigen::Matrix<double, Eigen::Dynamic, QuadrangleOptimizationProblem::parameterCount>
QuadrangleOptimizationProblem::jacobian(const Parameters& x) const {
    Eigen::Matrix<double, Eigen::Dynamic, parameterCount> j =
        Eigen::Matrix<double, Eigen::Dynamic, parameterCount>::Zero(residualCount, parameterCount);
    for (int d = 0; d < 4; ++d) {
        const int e = (d + 1) % 4;
        const BarPose2 from = side(x, d), to = side(x, e);
        const double c = std::cos(from.heading), s = std::sin(from.heading);
        const double dx = to.x - from.x, dy = to.y - from.y;
        const double offsetX = c * dx + s * dy, offsetY = -s * dx + c * dy;
        const ReferenceCorner& corner = (*corners_)[d];
        const double wx = corner.weightX, wy = corner.weightY, wh = corner.weightHeading;
        const int row = 3 * d;
        if (e != 0) {
            const int col = (e - 1) * 3;
            j(row, col) = -wx * c;
            j(row, col + 1) = -wx * s;
            j(row + 1, col) = wy * s;
            j(row + 1, col + 1) = -wy * c;
            j(row + 2, col + 2) = -wh;
        }
        if (d != 0) {
            const int col = (d - 1) * 3;
            j(row, col) = wx * c;
            j(row, col + 1) = wx * s;
            j(row, col + 2) = -wx * offsetY;
            j(row + 1, col) = -wy * s;
            j(row + 1, col + 1) = wy * c;
            j(row + 1, col + 2) = wy * offsetX;
            j(row + 2, col + 2) = wh;
        }
    }
    return j;
}

QuadrangleOptimizationProblem::Parameters QuadrangleOptimizationProblem::initialSolution(const AccumulatedCorners& corners) {
    Parameters x;
    BarPose2 pose;
    for (int k = 0; k < 3; ++k) {
        const ReferenceCorner& corner = corners[k];
        const double c = std::cos(pose.heading), s = std::sin(pose.heading);
        pose = BarPose2{pose.x + c * corner.x - s * corner.y, pose.y + s * corner.x + c * corner.y,
                        pose.heading + corner.heading};
        x.segment<3>(3 * k) << pose.x, pose.y, pose.heading;
    }
    return x;
}

} // namespace Kestrel::Orb::Tracking
