#include "device_simulator/scene/PixelSolver.h"

#include <cmath>

namespace Kestrel::DeviceSimulator {

std::optional<PixelSolution> solvePixel(const PixelToImagePoint& f, const ImagePoint& target, Pixel guess,
                                        double tolerance, int maximumIterations) {
    // Step of the difference quotient: large enough that single-precision evaluation noise
    // (about 1e-7 of a unit) stays small against the change, small against the curvature.
    const double h = 0.05;
    Pixel p = guess;
    std::optional<ImagePoint> value = f(p.x, p.y);
    if (!value)
        return std::nullopt;
    PixelSolution best{p, std::hypot((*value)[0] - target[0], (*value)[1] - target[1]), 0};
    for (int iteration = 1; iteration <= maximumIterations && best.residual > tolerance; ++iteration) {
        auto fx0 = f(p.x - h, p.y), fx1 = f(p.x + h, p.y), fy0 = f(p.x, p.y - h), fy1 = f(p.x, p.y + h);
        if (!fx0 || !fx1 || !fy0 || !fy1)
            return std::nullopt;
        double j00 = ((*fx1)[0] - (*fx0)[0]) / (2 * h), j10 = ((*fx1)[1] - (*fx0)[1]) / (2 * h);
        double j01 = ((*fy1)[0] - (*fy0)[0]) / (2 * h), j11 = ((*fy1)[1] - (*fy0)[1]) / (2 * h);
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
