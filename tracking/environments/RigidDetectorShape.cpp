#include "tracking/environments/RigidDetectorShape.h"

#include <array>
#include <cmath>
#include <limits>

#include "tracking/environments/BarDetector.h"

namespace Kestrel::Orb::Tracking {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double nearRange = 2.0;   // markers further than this (bar lengths) never touch the ellipse
constexpr double widestAxis = 2.0;  // across semi-axis when nothing bounds it

struct Point {
    double u, v;
};

// The detector form [[p, s], [0, c]] of the ellipse with semi-axes a (along angle alpha) and b.
Vec3f detectorForm(double a, double b, double alpha) {
    const double ca = std::cos(alpha), sa = std::sin(alpha);
    // M M^T = R diag(a^2, b^2) R^T
    const double m00 = a * a * ca * ca + b * b * sa * sa;
    const double m01 = (a * a - b * b) * ca * sa;
    const double m11 = a * a * sa * sa + b * b * ca * ca;
    const double c = std::sqrt(m11), s = m01 / c;
    const double p = std::sqrt(std::max(0.0, m00 - s * s));
    return Vec3f{{float(p), float(c), float(s)}};
}

} // namespace

bool insideDetectorEllipse(const Vec3f& shape, float scale, double u, double v) {
    const double along = (double(shape[0]) - 0.5) * scale + 0.5, across = double(shape[1]) * scale,
                 shear = double(shape[2]) * scale;
    const double eu = u / along - shear * v / (along * across), ev = v / across;
    return eu * eu + ev * ev < 1.0;
}

Vec3f searchDetectorShape(const std::vector<std::array<Vec2f, 3>>& bars, float middleRatio, float scale) {
    if (bars.size() < 2)
        return defaultDetectorShape;
    std::vector<Point> others;
    double nearest = std::numeric_limits<double>::infinity();
    for (std::size_t b = 0; b < bars.size(); ++b) {
        const double fx = bars[b][0].x(), fy = bars[b][0].y();
        const double dx = double(bars[b][2].x()) - fx, dy = double(bars[b][2].y()) - fy;
        const double lengthSquared = dx * dx + dy * dy;
        if (lengthSquared <= 0)
            return defaultDetectorShape;
        const double mx = fx + dx / 2, my = fy + dy / 2;
        for (std::size_t o = 0; o < bars.size(); ++o) {
            if (o == b)
                continue;
            for (const Vec2f& marker : bars[o]) {
                const double ox = marker.x() - mx, oy = marker.y() - my;
                const Point p{(ox * dx + oy * dy) / lengthSquared, (-ox * dy + oy * dx) / lengthSquared};
                if (std::abs(p.u) > nearRange || std::abs(p.v) > nearRange)
                    continue;
                others.push_back(p);
                nearest = std::min(nearest, std::hypot(p.u, p.v));
            }
        }
    }
    if (others.empty())
        return defaultDetectorShape;

    const double middle = 0.5 - middleRatio;  // the middle marker at (-middle, 0) or (+middle, 0)
    // The detector scales the shape (and along stretches towards 0.5), so the scaled ellipse is
    // checked again: it must hold the middle marker and no other marker.
    auto holdsMiddle = [&](const Vec3f& shape) {
        if (!insideDetectorEllipse(shape, scale, middle, 0))
            return false;
        for (const Point& p : others)
            if (insideDetectorEllipse(shape, scale, p.u, p.v))
                return false;
        return true;
    };
    // Largest b across `alpha` for semi-axis a that keeps every other marker outside.
    auto widest = [&](double a, double alpha) {
        const double ca = std::cos(alpha), sa = std::sin(alpha);
        double b = widestAxis;
        for (const Point& p : others) {
            const double x = p.u * ca + p.v * sa, y = -p.u * sa + p.v * ca;
            const double ratio = x / a;
            if (ratio * ratio >= 1)
                continue;
            b = std::min(b, std::abs(y) / std::sqrt(1 - ratio * ratio));
        }
        return b;
    };

    const double e = nearest;
    Vec3f best = detectorForm(e, e, 0);
    double size = holdsMiddle(best) ? e * e : 0;
    if (size == 0)
        best = defaultDetectorShape;
    for (int k = 0; k < 32; ++k) {
        const double alpha = k * pi / 32;
        const double step = (e - std::sqrt(size / 3)) / 20;
        if (!(step > 0.001))
            continue;
        for (int s = 0; s <= 20; ++s) {
            const double a = e - s * step;
            if (a <= 0)
                break;
            const double b = widest(a, alpha);
            if (a * b <= size)
                continue;
            const Vec3f shape = detectorForm(a, b, alpha);
            if (!holdsMiddle(shape))
                continue;
            size = a * b;
            best = shape;
        }
    }
    return best;
}

} // namespace Kestrel::Orb::Tracking
