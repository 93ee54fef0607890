#include "tracking/environments/RigidDetectorShape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <tuple>
#include <unordered_set>

#include "tracking/environments/BarDetector.h"

namespace Kestrel::Orb::Tracking {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double nearRange = 2.0;   // markers further than this (bar lengths) never touch the ellipse
constexpr double widestAxis = 2.0;  // across semi-axis when nothing bounds it
// Distinct neighbour markers beyond which the search is not run (each costs about 1300 tests).
constexpr std::size_t maximumNeighbours = 65536;

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

Vec3f searchDetectorShape(const std::array<std::array<Vec2f, 3>, 4>& barTemplate, const std::vector<RigidTile>& tiles,
                          float tileSize, float middleRatio, float scale) {
    if (tiles.size() < 2)
        return defaultDetectorShape;
    // The orientation-0 bar's frame: first marker f, first-to-last d, midpoint.
    const double fx = barTemplate[0][0].x(), fy = barTemplate[0][0].y();
    const double dx = double(barTemplate[0][2].x()) - fx, dy = double(barTemplate[0][2].y()) - fy;
    const double lengthSquared = dx * dx + dy * dy;
    if (!(lengthSquared > 0) || !(tileSize > 0))
        return defaultDetectorShape;
    const double mx = fx + dx / 2, my = fy + dy / 2;

    // Seen from a bar turned back to orientation 0, another bar's marker depends only on the
    // other tile's cell offset turned likewise, the difference of the two orientations and the
    // marker's number; each such neighbour is kept once. Cells further apart than `reach` put
    // no marker within nearRange.
    double templateRadius = 0;
    for (const Vec2f& m : barTemplate[0])
        templateRadius = std::max(templateRadius, std::hypot(double(m.x()), double(m.y())));
    const double reachTiles =
        std::ceil((nearRange * std::sqrt(2.0) * std::sqrt(lengthSquared) + 2 * templateRadius) / tileSize) + 1;
    // Cell offsets never exceed the largest grid side, which also keeps the key's fields small.
    const int64_t reach = int64_t(std::min(reachTiles, double(maximumRigidGridSide)));
    std::vector<std::size_t> byX(tiles.size());
    for (std::size_t t = 0; t < tiles.size(); ++t)
        byX[t] = t;
    std::sort(byX.begin(), byX.end(), [&](std::size_t a, std::size_t b) { return tiles[a].x < tiles[b].x; });
    std::unordered_set<uint64_t> neighbours;
    bool tooMany = false;
    std::size_t low = 0;
    for (std::size_t ia = 0; ia < byX.size() && !tooMany; ++ia) {
        const RigidTile& a = tiles[byX[ia]];
        while (int64_t(tiles[byX[low]].x) < int64_t(a.x) - reach)
            ++low;
        for (std::size_t ib = low; ib < byX.size() && int64_t(tiles[byX[ib]].x) <= int64_t(a.x) + reach; ++ib) {
            const RigidTile& b = tiles[byX[ib]];
            const int64_t cx = int64_t(b.x) - a.x, cy = int64_t(b.y) - a.y;
            if (byX[ib] == byX[ia] || std::abs(cy) > reach)
                continue;
            // Turn the offset back by a's orientation: one turn back maps (x, y) to (y, -x).
            int64_t tx = cx, ty = cy;
            for (int r = 0; r < (a.orientation & 3); ++r)
                std::tie(tx, ty) = std::make_tuple(ty, -tx);
            const uint64_t orientation = uint64_t((b.orientation - a.orientation) & 3);
            const uint64_t cell = (uint64_t(tx + reach) << 32) | uint64_t(ty + reach);
            for (uint64_t k = 0; k < 3; ++k)
                neighbours.insert((cell << 4) | (orientation << 2) | k);
            if (neighbours.size() > maximumNeighbours) {
                tooMany = true;
                break;
            }
        }
    }
    // So many distinct neighbours that the bars overlap each other's markers everywhere: no
    // ellipse tailored to them is worth the search.
    if (tooMany)
        return defaultDetectorShape;
    std::vector<Point> others;
    double nearest = std::numeric_limits<double>::infinity();
    for (uint64_t key : neighbours) {
        const int64_t tx = int64_t(key >> 36) - reach, ty = int64_t((key >> 4) & 0xFFFFFFFFu) - reach;
        const Vec2f& marker = barTemplate[(key >> 2) & 3][key & 3];
        const double ox = double(tx) * tileSize + marker.x() - mx, oy = double(ty) * tileSize + marker.y() - my;
        const Point p{(ox * dx + oy * dy) / lengthSquared, (-ox * dy + oy * dx) / lengthSquared};
        if (std::abs(p.u) > nearRange || std::abs(p.v) > nearRange)
            continue;
        others.push_back(p);
        nearest = std::min(nearest, std::hypot(p.u, p.v));
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
