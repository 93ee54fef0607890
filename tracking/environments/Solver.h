#pragma once
// Damped least squares of the Levenberg-Marquardt kind, one step at a time.
//
// A Problem provides
//     static constexpr int parameterCount;                       // N
//     using Parameters = ...;                                     // any copyable state
//     Eigen::VectorXd residuals(const Parameters& x) const;       // r(x), any length
//     Eigen::Matrix<double, Eigen::Dynamic, N> jacobian(const Parameters& x) const;   // dr/d(step)
//     Parameters applyStep(const Parameters& x, const Eigen::Matrix<double, N, 1>& delta) const;
// so that a problem whose parameters hold a rotation can apply that part of the step by
// composition instead of addition. The cost is |r|^2.
//
// One step:
//     A = J^T J, b = J^T r and cost c at x;
//     up to 21 trials: solve (A + damping I) delta = -b, evaluate c' at x [+] delta;
//         c' < c: accept, halve the damping when it is above 0.001, return true;
//         else:   double the damping when it is below 1000, try again.
//     After 21 failed trials the parameters stay as they were and the step returns false.
// A trial whose step or cost is not finite counts as failed.

#include <cmath>
#include <memory>
#include <utility>

#include <Eigen/Cholesky>
#include <Eigen/Core>

namespace Kestrel::Orb::Tracking {

template <class Problem>
class Solver {
public:
    static constexpr int parameterCount = Problem::parameterCount;
    using Parameters = typename Problem::Parameters;
    using Step = Eigen::Matrix<double, parameterCount, 1>;
    static constexpr double initialDamping = 0.001;
    static constexpr double minimumDamping = 0.001;  // halved only while above this
    static constexpr double maximumDamping = 1000;   // doubled only while below this
    static constexpr int maximumTrials = 21;

    explicit Solver(std::shared_ptr<const Problem> problem, double damping = initialDamping)
        : problem_(std::move(problem)), damping_(damping) {}

    // One damped step from `parameters`, which are replaced only when the cost went down.
    bool step(Parameters& parameters) {
        const Eigen::VectorXd residuals = problem_->residuals(parameters);
        const Eigen::Matrix<double, Eigen::Dynamic, parameterCount> jacobian = problem_->jacobian(parameters);
        const Eigen::Matrix<double, parameterCount, parameterCount> normal = jacobian.transpose() * jacobian;
        const Step gradient = jacobian.transpose() * residuals;
        const double currentCost = residuals.squaredNorm();
        cost_ = currentCost;
        for (int trial = 0; trial < maximumTrials; ++trial) {
            Eigen::Matrix<double, parameterCount, parameterCount> damped = normal;
            damped.diagonal().array() += damping_;
            const Step delta = damped.ldlt().solve(-gradient);
            if (delta.allFinite()) {
                const Parameters stepped = problem_->applyStep(parameters, delta);
                const double steppedCost = problem_->residuals(stepped).squaredNorm();
                if (std::isfinite(steppedCost) && steppedCost < currentCost) {
                    parameters = stepped;
                    if (damping_ > minimumDamping)
                        damping_ /= 2;
                    cost_ = steppedCost;
                    return true;
                }
            }
            if (damping_ < maximumDamping)
                damping_ *= 2;
        }
        return false;
    }

    double damping() const { return damping_; }
    // Cost after the last step (unchanged parameters: the cost it started from).
    double cost() const { return cost_; }
    const Problem& problem() const { return *problem_; }

private:
    std::shared_ptr<const Problem> problem_;
    double damping_;
    double cost_ = 0;
};

} // namespace Kestrel::Orb::Tracking
