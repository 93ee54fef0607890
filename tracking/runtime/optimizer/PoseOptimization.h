#pragma once
// Bounded Gauss-Newton optimisation of the 12-parameter state over the whole History.

#include <vector>

#include <Eigen/Core>

#include "tracking/runtime/pipeline/History.h"
#include "tracking/runtime/optimizer/OptimizerState.h"

namespace Kestrel::Orb::Tracking {

constexpr int maximumAttempts = 5;
constexpr double outlierLimit = 0.010000001;     // squared residual of an outlier ray
constexpr double minimumQuality = 0.001;         // fourth-smallest eigenvalue needed
constexpr double regularisationFloor = 0.0032;   // eigenvalues are lifted to this

struct OptimizeResult {
    bool ok = false;
    // The fourth-smallest eigenvalue of the unweighted information matrix (0 when the
    // decomposition failed).
    float quality = 0;
    // The delta of the last attempt, correction part halved as applied; zero when not ok.
    Eigen::Matrix<double, 12, 1> delta = Eigen::Matrix<double, 12, 1>::Zero();
};

// Optimises `state` (at the newest History frame) against the markers of the History's rays.
// Rays whose marker keeps failing are set to -2 in the History (from the fifth attempt on).
// Each ray's usedByOptimizer tells whether it entered the last attempt's normal equations.
// Writes the attempt log lines.
OptimizeResult optimize(History& history, const std::vector<KestrelMath::vector<float, 3>>& markers, float xi,
                        OptimizerState& state);

} // namespace Kestrel::Orb::Tracking
