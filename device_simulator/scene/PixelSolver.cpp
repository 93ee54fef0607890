#include "device_simulator/scene/PixelSolver.h"

#include <cmath>

namespace Kestrel::DeviceSimulator {

std::optional<PixelSolution> solvePixel(const PixelToImagePoint& f, const ImagePoint& target, Pixel guess,
                                        Pixel inside, double tolerance, int maximumIterations) {
    // Step of the difference quotient: large enough that single-precision evaluation noise
    // (about 1e-7 of a unit) stays small against the change, small against the curvature.
    const double h = 0.05;
    Pixel p = guess;
    std::optional<ImagePoint> value = f(p.x, p.y);
    // A guess just outside the domain (near its edge) is pulled towards `inside`.
    for (int pull = 0; !value && pull < 20; ++pull) {
        p = Pixel{(p.x + inside.x) / 2, (p.y + inside.y) / 2};
        value = f(p.x, p.y);
    }
    if (!value)
        return std::nullopt;
    PixelSolution best{p, std::hypot((*value)[0] - target[0], (*value)[1] - target[1]), 0};
    for (int iteration = 1; iteration <= maximumIterations && best.residual > tolerance; ++iteration) {
        // Central differences, one-sided where the other side leaves the domain.
        auto column = [&](double dx, double dy, double& d0, double& d1) {
            auto plus = f(p.x + dx, p.y + dy), minus = f(p.x - dx, p.y - dy);
            double span = 2 * h;
            if (!plus)
                plus = value, span = h;
            if (!minus)
                minus = value, span = span - h;
            if (!(span > 0))
                return false;
            d0 = ((*plus)[0] - (*minus)[0]) / span;
            d1 = ((*plus)[1] - (*minus)[1]) / span;
            return true;
        };
        double j00, j10, j01, j11;
        if (!column(h, 0, j00, j10) || !column(0, h, j01, j11))
            return std::nullopt;
        double det = j00 * j11 - j01 * j10;
        if (!(std::abs(det) > 0))
            return std::nullopt;
        double r0 = target[0] - (*value)[0], r1 = target[1] - (*value)[1];
        // Newton step J dp = r.
        double dx = (j11 * r0 - j01 * r1) / det, dy = (-j10 * r0 + j00 * r1) / det;
        // Halve the step until the point stays in the domain and the residual does not grow.
        double scale = 1.0;
        for (;;) {
            Pixel q{p.x + scale * dx, p.y + scale * dy};
            auto next = f(q.x, q.y);
            double residual = next ? std::hypot((*next)[0] - target[0], (*next)[1] - target[1]) : INFINITY;
            if (residual <= best.residual || scale < 1.0 / 64) {
                if (!next)
                    return std::nullopt;
                p = q;
                value = next;
                if (residual < best.residual)
                    best = {p, residual, iteration};
                else
                    return best.residual <= tolerance ? std::optional<PixelSolution>(best) : std::nullopt;
                break;
            }
            scale /= 2;
        }
    }
    if (best.residual > tolerance)
        return std::nullopt;
    return best;
}

} // namespace Kestrel::DeviceSimulator
