#include "tracking/environments/BarDetector.h"

#include <cmath>

namespace Kestrel::Orb::Tracking {

std::vector<Bar> findBars(const std::vector<Vec2f>& points, float middleRatio, const Vec3f& shape, float scale) {
    const double along = (double(shape[0]) - 0.5) * scale + 0.5;
    const double across = double(shape[1]) * scale;
    const double shear = double(shape[2]) * scale;
    // Inverse of [[along, shear], [0, across]].
    const double inverse00 = 1.0 / along, inverse01 = -shear / (along * across), inverse11 = 1.0 / across;

    std::vector<Bar> bars;
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double dx = double(points[j].x()) - points[i].x(), dy = double(points[j].y()) - points[i].y();
            const double mx = (double(points[i].x()) + points[j].x()) * 0.5;
            const double my = (double(points[i].y()) + points[j].y()) * 0.5;
            const double lengthSquared = dx * dx + dy * dy;
            std::size_t inside = 0, candidate = 0;
            double candidateU = 0, candidateV = 0;
            for (std::size_t k = 0; k < n && inside < 2; ++k) {
                if (k == i || k == j)
                    continue;
                const double ox = points[k].x() - mx, oy = points[k].y() - my;
                const double u = (ox * dx + oy * dy) / lengthSquared;
                const double v = (-ox * dy + oy * dx) / lengthSquared;  // perp(d) = (-d.y, d.x)
                const double eu = inverse00 * u + inverse01 * v, ev = inverse11 * v;
                if (eu * eu + ev * ev < 1.0) {
                    ++inside;
                    candidate = k;
                    candidateU = u;
                    candidateV = v;
                }
            }
            if (inside != 1)
                continue;
            if (std::abs(candidateV) < 0.01 && std::abs((0.5 - std::abs(candidateU)) - middleRatio) < 0.05)
                bars.push_back(candidateU > 0 ? Bar{{j, candidate, i}} : Bar{{i, candidate, j}});
        }
    }
    return bars;
}

} // namespace Kestrel::Orb::Tracking
