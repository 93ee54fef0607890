#include "tracking/environments/BarDetector.h"

#include <algorithm>
#include <cmath>

namespace Kestrel::Orb::Tracking {

std::vector<Bar> findBars(const std::vector<Vec2f>& points, float middleRatio, const Vec3f& shape, float scale,
                          uint64_t* tests) {
    const double along = (double(shape[0]) - 0.5) * scale + 0.5;
    const double across = double(shape[1]) * scale;
    const double shear = double(shape[2]) * scale;
    // Inverse of [[along, shear], [0, across]].
    const double inverse00 = 1.0 / along, inverse01 = -shear / (along * across), inverse11 = 1.0 / across;
    // A point inside the ellipse lies within `reach` pair lengths of the pair's midpoint (the
    // matrix's Frobenius norm bounds its largest stretch), so only the points within that
    // distance in x are tested: the same points are found inside as by testing every point, and
    // the order in which they are tested does not change which pairs have exactly one.
    const double reach = std::sqrt(along * along + shear * shear + across * across) * (1 + 1e-9);

    const std::size_t n = points.size();
    // Finite points by x; a point that is not finite is never inside an ellipse, and a pair
    // with one forms no bar.
    std::vector<std::size_t> byX;
    std::vector<double> xs;
    for (std::size_t k = 0; k < n; ++k)
        if (std::isfinite(points[k].x()) && std::isfinite(points[k].y()))
            byX.push_back(k);
    std::sort(byX.begin(), byX.end(), [&](std::size_t a, std::size_t b) { return points[a].x() < points[b].x(); });
    for (std::size_t k : byX)
        xs.push_back(points[k].x());

    std::vector<Bar> bars;
    uint64_t made = 0;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double dx = double(points[j].x()) - points[i].x(), dy = double(points[j].y()) - points[i].y();
            const double mx = (double(points[i].x()) + points[j].x()) * 0.5;
            const double my = (double(points[i].y()) + points[j].y()) * 0.5;
            const double lengthSquared = dx * dx + dy * dy;
            const double window = reach * std::sqrt(lengthSquared);
            if (!std::isfinite(mx) || !std::isfinite(my) || !std::isfinite(window))
                continue;
            std::size_t inside = 0, candidate = 0;
            double candidateU = 0, candidateV = 0;
            // Outwards from the midpoint's x, nearer points first: they are the likeliest
            // inside, and a pair stops at its second point inside.
            std::size_t right = std::size_t(std::lower_bound(xs.begin(), xs.end(), mx) - xs.begin());
            std::size_t left = right;
            while (inside < 2) {
                const bool rightOpen = right < xs.size() && xs[right] <= mx + window;
                const bool leftOpen = left > 0 && xs[left - 1] >= mx - window;
                std::size_t next;
                if (rightOpen && (!leftOpen || xs[right] - mx <= mx - xs[left - 1]))
                    next = right++;
                else if (leftOpen)
                    next = --left;
                else
                    break;
                const std::size_t k = byX[next];
                if (k == i || k == j)
                    continue;
                const double ox = points[k].x() - mx, oy = points[k].y() - my;
                const double u = (ox * dx + oy * dy) / lengthSquared;
                const double v = (-ox * dy + oy * dx) / lengthSquared;  // perp(d) = (-d.y, d.x)
                const double eu = inverse00 * u + inverse01 * v, ev = inverse11 * v;
                ++made;
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
    if (tests)
        *tests = made;
    return bars;
}

} // namespace Kestrel::Orb::Tracking
