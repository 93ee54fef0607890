#include "tracking/environments/QuadrangleTiltSearch.h"

#include <cmath>
#include <memory>

#include "tracking/environments/RotationVector.h"
#include "tracking/environments/Solver.h"

namespace Kestrel::Orb::Tracking {

namespace {

Eigen::Quaterniond tiltRotation(double a, double b) { return rotationFromVector(Eigen::Vector3d(a, 0, b)); }

std::vector<FloorBar> castBars(const std::vector<Eigen::Vector3d>& rays, const std::vector<Bar>& bars,
                               const Eigen::Quaterniond& tilt) {
    std::vector<FloorBar> cast;
    cast.reserve(bars.size());
    for (const Bar& bar : bars)
        cast.push_back({floorPoint(tilt, rays[bar[0]]), floorPoint(tilt, rays[bar[1]]), floorPoint(tilt, rays[bar[2]])});
    return cast;
}

double meanLength(const std::vector<FloorBar>& bars) {
    double sum = 0;
    for (const FloorBar& bar : bars)
        sum += bar.direction().norm();
    return sum / double(bars.size());
}

class TiltProblem {
public:
    static constexpr int parameterCount = 2;
    using Parameters = Eigen::Matrix<double, parameterCount, 1>;

    TiltProblem(const std::vector<Eigen::Vector3d>& rays, const std::vector<Bar>& bars, double middleRatio)
        : rays_(rays), bars_(bars), middleRatio_(middleRatio) {}

    Eigen::VectorXd residuals(const Parameters& x) const {
        const std::vector<FloorBar> cast = castBars(rays_, bars_, tiltRotation(x[0], x[1]));
        const double mean = meanLength(cast);
        Eigen::VectorXd r(2 * cast.size());
        for (std::size_t i = 0; i < cast.size(); ++i) {
            const double length = cast[i].direction().norm();
            r[2 * i] = length / mean - 1;
            r[2 * i + 1] = (cast[i].middle - cast[i].first).norm() / length - middleRatio_;
        }
        return r;
    }

    Eigen::Matrix<double, Eigen::Dynamic, parameterCount> jacobian(const Parameters& x) const {
        constexpr double step = 1e-6;
        Eigen::Matrix<double, Eigen::Dynamic, parameterCount> j(2 * bars_.size(), parameterCount);
        for (int c = 0; c < parameterCount; ++c) {
            Parameters plus = x, minus = x;
            plus[c] += step;
            minus[c] -= step;
            j.col(c) = (residuals(plus) - residuals(minus)) / (2 * step);
        }
        return j;
    }

    Parameters applyStep(const Parameters& x, const Parameters& delta) const { return x + delta; }

private:
    const std::vector<Eigen::Vector3d>& rays_;
    const std::vector<Bar>& bars_;
    double middleRatio_;
};

bool allFinite(const std::vector<FloorBar>& bars) {
    for (const FloorBar& bar : bars)
        if (!bar.first.allFinite() || !bar.middle.allFinite() || !bar.last.allFinite())
            return false;
    return true;
}

} // namespace

Eigen::Vector2d floorPoint(const Eigen::Quaterniond& tilt, const Eigen::Vector3d& levelledRay) {
    const Eigen::Vector3d r = tilt * levelledRay;
    if (!(r.y() < 0))
        return Eigen::Vector2d::Constant(std::nan(""));
    return Eigen::Vector2d(r.x(), r.z()) / -r.y();
}

FloorView searchTilt(const std::vector<Eigen::Vector3d>& levelledRays, const std::vector<Bar>& bars,
                     double barLength, double middleRatio) {
    FloorView view;
    if (bars.size() < 2)
        return view;
    auto problem = std::make_shared<const TiltProblem>(levelledRays, bars, middleRatio);
    Solver<TiltProblem> solver(problem);
    TiltProblem::Parameters angles = TiltProblem::Parameters::Zero();
    if (problem->residuals(angles).allFinite())
        for (int pass = 0; pass < 2; ++pass)
            solver.step(angles);
    view.tilt = tiltRotation(angles[0], angles[1]);
    view.bars = castBars(levelledRays, bars, view.tilt);
    const double mean = meanLength(view.bars);
    view.valid = allFinite(view.bars) && mean > 0;
    if (!view.valid)
        return view;
    const double scale = barLength / mean;
    for (FloorBar& bar : view.bars) {
        bar.first *= scale;
        bar.middle *= scale;
        bar.last *= scale;
    }
    view.height = scale;
    return view;
}

} // namespace Kestrel::Orb::Tracking
