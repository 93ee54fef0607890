#include "tracking/environments/RayPoseRefinement.h"

#include "tracking/environments/RotationVector.h"

namespace Kestrel::Orb::Tracking {

bool refineRayPose(const std::vector<Eigen::Vector3d>& rays, const std::vector<Eigen::Vector3d>& markers,
                   Eigen::Quaterniond& rotation, Eigen::Vector3d& position, int iterations) {
    if (rays.size() < 3 || rays.size() != markers.size())
        return false;
    Eigen::Quaterniond q = rotation.normalized();
    Eigen::Vector3d p = position;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        Eigen::Matrix<double, 6, 6> normal = Eigen::Matrix<double, 6, 6>::Zero();
        Eigen::Matrix<double, 6, 1> gradient = Eigen::Matrix<double, 6, 1>::Zero();
        const Eigen::Matrix3d rt = q.toRotationMatrix().transpose();
        for (std::size_t i = 0; i < rays.size(); ++i) {
            // v = R^T (m - p); with R -> R exp(w): v -> v - w x v, so dv/dw = skew(v), dv/dp = -R^T.
            const Eigen::Vector3d v = rt * (markers[i] - p);
            const double n = v.norm();
            const Eigen::Vector3d u = v / n;
            const Eigen::Matrix3d dUnit = (Eigen::Matrix3d::Identity() - u * u.transpose()) / n;
            Eigen::Matrix<double, 3, 6> jacobian;
            jacobian.leftCols<3>() = dUnit * skew(v);
            jacobian.rightCols<3>() = -dUnit * rt;
            const Eigen::Vector3d residual = u - rays[i];
            normal += jacobian.transpose() * jacobian;
            gradient += jacobian.transpose() * residual;
        }
        const Eigen::LDLT<Eigen::Matrix<double, 6, 6>> solver(normal);
        if (solver.info() != Eigen::Success)
            return false;
        const Eigen::Matrix<double, 6, 1> step = -solver.solve(gradient);
        if (!step.allFinite())
            return false;
        const Eigen::Vector3d w = step.head<3>();
        const double angle = w.norm();
        if (angle > 0)
            q = (q * Eigen::Quaterniond(Eigen::AngleAxisd(angle, w / angle))).normalized();
        p += step.tail<3>();
        if (step.norm() < 1e-9)
            break;
    }
    if (!q.coeffs().allFinite() || !p.allFinite())
        return false;
    rotation = q;
    position = p;
    return true;
}

} // namespace Kestrel::Orb::Tracking
