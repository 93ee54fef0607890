#include "tracking/runtime/calibration/ImageMesh.h"

#include <cmath>

namespace Kestrel::Orb::Tracking {

namespace {

constexpr double pi = 3.14159265358979323846;

// Twice the signed area of (a, b, c): positive when c lies to the left of a -> b.
double orient(const ImageMesh::Point& a, const ImageMesh::Point& b, double x, double y) {
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

// Points on a shared edge may come out a rounding error outside either triangle.
constexpr double insideTolerance = 1e-12;

} // namespace

ImageMesh::ImageMesh() { build(); }

void ImageMesh::build() {
    for (int i = 0; i < ringCount; ++i) {
        int n = 6 * (i + 1);
        double q = (i + 1) / 4.0;
        double radius = (0.75 * std::sqrt(1.0 - (1.0 - q) * (1.0 - q)) + 0.25 * q) / std::cos(pi / 24.0);
        ringRadius_[i] = radius;
        ringRadiusSquared_[i] = radius * radius;
        double inner = std::cos(pi / n) * radius;
        innerRadiusSquared_[i] = inner * inner;
        for (int j = 0; j < n; ++j) {
            double angle = 2.0 * pi * j / n;
            vertices_[ringStart(i) + j] = {radius * std::cos(angle), radius * std::sin(angle)};
        }
    }

    int next = 0;
    // Ring 0: a fan around the centre.
    for (int s = 0; s < 6; ++s) {
        SextantBand& band = bands_[0][s];
        band.firstTriangle = next;
        band.triangleCount = 1;
        int a = ringStart(0) + s, b = ringStart(0) + (s + 1) % 6;
        band.spokes[0] = {0, a};
        band.spokes[1] = {0, b};
        triangles_[next++] = {0, a, b};
    }
    // Ring i >= 1: per sextant, i + 1 outer edges and i inner edges merged by angle, so that
    // every triangle joins one edge of one ring to a vertex of the other.
    for (int i = 1; i < ringCount; ++i) {
        int outerCount = 6 * (i + 1), innerCount = 6 * i;
        for (int s = 0; s < 6; ++s) {
            auto outer = [&](int k) { return ringStart(i) + (s * (i + 1) + k) % outerCount; };
            auto inner = [&](int m) { return ringStart(i - 1) + (s * i + m) % innerCount; };
            SextantBand& band = bands_[i][s];
            band.firstTriangle = next;
            int k = 0, m = 0, t = 0;
            while (k < i + 1 || m < i) {
                band.spokes[t] = {inner(m), outer(k)};
                bool advanceOuter = m == i || (k < i + 1 && (k + 1) * i <= (m + 1) * (i + 1));
                if (advanceOuter) {
                    if (i == ringCount - 1)
                        outerEdgeTriangle_[s * (i + 1) + k] = next;
                    triangles_[next++] = {inner(m), outer(k), outer(k + 1)};
                    ++k;
                } else {
                    triangles_[next++] = {inner(m), outer(k), inner(m + 1)};
                    ++m;
                }
                ++t;
            }
            band.spokes[t] = {inner(m), outer(k)};
            band.triangleCount = t;
        }
    }
}

void ImageMesh::computeBarycentric(int triangle, double x, double y, Location& location) const {
    const Point& p0 = vertices_[triangles_[triangle][0]];
    const Point& p1 = vertices_[triangles_[triangle][1]];
    const Point& p2 = vertices_[triangles_[triangle][2]];
    // p = p0 + b1 (p1 - p0) + b2 (p2 - p0), solved with cross products.
    double det = orient(p0, p1, p2.x, p2.y);
    double b1 = -orient(p0, p2, x, y) / det;
    double b2 = orient(p0, p1, x, y) / det;
    location.triangle = triangle;
    location.barycentric = {1.0 - b1 - b2, b1, b2};
}

bool ImageMesh::insideTriangle(const Location& location) const {
    for (double b : location.barycentric)
        if (b < -insideTolerance)
            return false;
    return true;
}

int ImageMesh::sextantOf(double x, double y) const {
    const Point centre{};
    for (int s = 0; s < 6; ++s) {
        const Point& from = vertices_[ringStart(0) + s];
        const Point& to = vertices_[ringStart(0) + (s + 1) % 6];
        if (orient(centre, from, x, y) >= 0 && orient(centre, to, x, y) < 0)
            return s;
    }
    return 0;  // the centre itself
}

int ImageMesh::searchBand(const SextantBand& band, double x, double y) const {
    // The last spoke (inner -> outer) that has the point on its left or on it.
    int low = 0, high = band.triangleCount - 1;
    while (low < high) {
        int mid = (low + high + 1) / 2;
        const auto& spoke = band.spokes[mid];
        if (orient(vertices_[spoke[0]], vertices_[spoke[1]], x, y) >= 0)
            low = mid;
        else
            high = mid - 1;
    }
    return band.firstTriangle + low;
}

bool ImageMesh::locate(double x, double y, Location& location) const {
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    double r2 = x * x + y * y;
    int sextant = sextantOf(x, y);
    // The first ring whose circumscribed circle holds the point. Inside its inscribed circle
    // the point is surely in that ring's band; between the two circles it lies in that band or
    // the next, and the barycentric test decides.
    int ring = 0;
    while (ring < ringCount && r2 >= ringRadiusSquared_[ring])
        ++ring;
    for (; ring < ringCount; ++ring) {
        computeBarycentric(searchBand(bands_[ring][sextant], x, y), x, y, location);
        if (r2 < innerRadiusSquared_[ring] || insideTriangle(location))
            return true;
    }
    double angle = std::atan2(y, x);
    if (angle < 0)
        angle += 2.0 * pi;
    int edge = int(std::floor(angle / (2.0 * pi) * 24.0));
    edge = edge < 0 ? 0 : edge > 23 ? 23 : edge;
    computeBarycentric(outerEdgeTriangle_[edge], x, y, location);
    return true;
}

} // namespace Kestrel::Orb::Tracking
