#include "tracking/runtime/optimizer/PoseOptimization.h"

#include <set>

#include <Eigen/Cholesky>
#include <Eigen/Eigenvalues>

#include "interface_contract/DebugLog.h"
#include "tracking/runtime/optimizer/PoseResidual.h"

namespace Kestrel::Orb::Tracking {

namespace {

using Matrix12 = Eigen::Matrix<double, 12, 12>;
using Vector12 = Eigen::Matrix<double, 12, 1>;

// One ray's share of the normal equations, A^T A and A^T r. It is formed once and added to
// both systems; the lazy (coefficient-wise) product suits a depth of 2, where the general
// matrix product's packing cost more than the arithmetic.
struct RayProducts {
    Matrix12 information;
    Vector12 gradient;
    explicit RayProducts(const RayLinearisation& ray)
        : information(ray.jacobian.transpose().lazyProduct(ray.jacobian)),
          gradient(ray.jacobian.transpose().lazyProduct(ray.residual)) {}
};

struct NormalSystem {
    Matrix12 information = Matrix12::Zero();
    Vector12 gradient = Vector12::Zero();  // sum of w A^T r
    void add(const RayProducts& ray, double weight) {
        information.noalias() += weight * ray.information;
        gradient.noalias() += weight * ray.gradient;
    }
};

struct AttemptSystems {
    NormalSystem unweighted, weighted;
    int skippedRays = 0;
    bool anotherAttemptNeeded = false;
};

// Marks every ray of the History that enters the systems as used by the optimiser, and every
// other ray as not used.
AttemptSystems buildSystems(History& history, const std::vector<KestrelMath::vector<float, 3>>& markers,
                            double xi, const OptimizerState& state, bool collectInvalid, std::set<MarkerIndex>& invalid) {
    AttemptSystems systems;
    StateCarrier carrier(state);
    const int n = history.count();
    for (int age = 0; age < n; ++age) {
        FrameRecord& record = history.fromNewest(age);
        if (age > 0)
            carrier.stepBack(record.leap);
        const double recency = double(n - age) / History::capacity;
        for (Ray& ray : record.frame.rays) {
            ray.usedByOptimizer = 0;
            if (!isMarker(ray.markerIndex, markers.size()))
                continue;
            const RayLinearisation row = linearise(carrier.pose(), toEigen(markers[ray.markerIndex]), ray, xi);
            if (row.squaredResidual > outlierLimit) {
                ++systems.skippedRays;
                systems.anotherAttemptNeeded = true;
                if (collectInvalid)
                    invalid.insert(ray.markerIndex);
                continue;
            }
            ray.usedByOptimizer = 1;
            const RayProducts products(row);
            systems.unweighted.add(products, 1.0);
            systems.weighted.add(products, recency * ray.value);
        }
    }
    return systems;
}

int invalidate(History& history, const std::set<MarkerIndex>& invalid) {
    int changed = 0;
    for (int age = 0; age < history.count(); ++age)
        for (Ray& ray : history.fromNewest(age).frame.rays)
            if (invalid.count(ray.markerIndex)) {
                ray.markerIndex = -2;
                ++changed;
            }
    return changed;
}

} // namespace

OptimizeResult optimize(History& history, const std::vector<KestrelMath::vector<float, 3>>& markers, float xi,
                        OptimizerState& state) {
    OptimizeResult result;
    std::set<MarkerIndex> invalid;
    for (int attempt = 0;; ++attempt) {
        if (attempt == maximumAttempts) {
            logLine() << "optimize failed by numIterations";
            return OptimizeResult{false, result.quality, Vector12::Zero()};
        }
        if (attempt > 3 && !invalid.empty()) {
            invalidate(history, invalid);
            logLine() << "invalidMatches detected: " << invalid.size() << " iteration:" << attempt;
        }

        AttemptSystems systems = buildSystems(history, markers, xi, state, attempt >= 3, invalid);
        if (systems.skippedRays > 0)
            logLine() << "skippedRays " << systems.skippedRays;

        Eigen::SelfAdjointEigenSolver<Matrix12> eigen(systems.unweighted.information);
        if (eigen.info() != Eigen::Success)
            return OptimizeResult{false, 0.0f, Vector12::Zero()};
        // Eigenvalues come in ascending order.
        result.quality = float(eigen.eigenvalues()[3]);
        if (!(eigen.eigenvalues()[3] >= minimumQuality))
            return OptimizeResult{false, result.quality, Vector12::Zero()};

        Matrix12 information = systems.weighted.information;
        for (int i = 0; i < 12; ++i) {
            const double lambda = eigen.eigenvalues()[i];
            if (lambda < regularisationFloor) {
                const Vector12 v = eigen.eigenvectors().col(i);
                information += (regularisationFloor - lambda) * v * v.transpose();
            }
        }
        Eigen::LDLT<Matrix12> solver(information);
        if (solver.info() != Eigen::Success)
            return OptimizeResult{false, result.quality, Vector12::Zero()};
        Vector12 delta = solver.solve(-systems.weighted.gradient);
        if (!delta.allFinite())
            return OptimizeResult{false, result.quality, Vector12::Zero()};

        applyDelta(state, delta);
        delta.segment<3>(9) *= 0.5;
        result.delta = delta;
        if (systems.anotherAttemptNeeded)
            continue;
        if (attempt > 0)
            logLine() << "numIterations " << attempt + 1;
        result.ok = true;
        return result;
    }
}

} // namespace Kestrel::Orb::Tracking
