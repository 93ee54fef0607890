#include "viewers/TrackingDebugEnvironmentPages.h"

#include <cmath>

#include "viewers/TrackingDebugDrawing.h"

using KestrelQt3DEngine::LinedMeshConstructor;
using namespace Kestrel::Orb::Tracking;

namespace TrackingDebug {

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr float pointRadius = 0.02f;
constexpr int alignmentHalfCells = 6;
constexpr float alignmentCircleRadius = 0.05f;

// The acceptance ellipse of a point pair from `first` to `last`: with d = last - first and
// n = d turned by a quarter, the points mid + d u + n v for (u, v) = M (cos phi, sin phi).
void pairEllipse(LinedMeshConstructor& geometry, const Vec2f& first, const Vec2f& last, const Vec3f& shape, float scale) {
    const float along = (shape[0] - 0.5f) * scale + 0.5f;
    const float across = shape[1] * scale;
    const float shear = shape[2] * scale;
    const QVector3D mid = (flat(first) + flat(last)) / 2;
    const QVector3D d = flat(last) - flat(first);
    const QVector3D n(-d.z(), 0, d.x());
    for (int i = 0; i < patternCurveSegments; ++i) {
        const double a0 = twoPi * i / patternCurveSegments, a1 = twoPi * (i + 1) / patternCurveSegments;
        auto point = [&](double phi) {
            const float c = float(std::cos(phi)), s = float(std::sin(phi));
            return mid + d * (along * c + shear * s) + n * (across * s);
        };
        geometry.line(point(a0), point(a1));
    }
}

} // namespace

void drawAllPatterns(LinedMeshConstructor& geometry, const std::vector<Vec2f>& points, const std::vector<Bar>& bars,
                     const Vec3f& shape, float scale) {
    pairEllipse(geometry, Vec2f{{-0.5f, 0.0f}}, Vec2f{{0.5f, 0.0f}}, shape, scale);
    geometry.setCurrentColor(QColor(128, 128, 128, 255));
    for (std::size_t i = 0; i < points.size(); ++i) {
        geometry.circle(pointRadius, flat(points[i]), floorNormal);
        geometry.label(flat(points[i]), QString::number(i));
    }
    for (const Bar& bar : bars) {
        if (bar[0] >= points.size() || bar[1] >= points.size() || bar[2] >= points.size())
            continue;
        geometry.line(flat(points[bar[0]]), flat(points[bar[1]]));
        geometry.line(flat(points[bar[1]]), flat(points[bar[2]]));
        pairEllipse(geometry, points[bar[0]], points[bar[2]], shape, scale);
    }
    geometry.setCurrentColor(QColor(1, 0, 0, 255));
}

void drawAlignment(LinedMeshConstructor& geometry, const std::vector<Vec2f>& references, float spacing) {
    geometry.setCurrentColor(QColor(0, 0, 0, 255));
    const float extent = alignmentHalfCells * spacing;
    for (int i = -alignmentHalfCells; i <= alignmentHalfCells; ++i) {
        const float at = float(i) * spacing;
        geometry.line(QVector3D(at, 0, -extent), QVector3D(at, 0, extent));
        geometry.line(QVector3D(-extent, 0, at), QVector3D(extent, 0, at));
    }
    if (references.empty())
        return;
    geometry.setCurrentColor(QColor(255, 0, 0, 255));
    const QVector3D origin = flat(references.front());
    for (const Vec2f& reference : references)
        geometry.circle(alignmentCircleRadius, flat(reference) - origin, floorNormal);
}

void drawHomography(LinedMeshConstructor& geometry, const HomographyTransform& transform, const std::vector<Vec3f>& rays,
                    const std::vector<Vec3f>& barDistances, const std::vector<Bar>& bars,
                    const std::vector<std::size_t>& group) {
    geometry.setCurrentColor(QColor(0, 0, 0, 64));
    const float height = transform.plane[1];
    const QVector3D camera(0, height, 0);
    for (std::size_t b : group) {
        if (b >= bars.size() || b >= barDistances.size())
            continue;
        for (std::size_t k = 0; k < 3; ++k) {
            if (bars[b][k] >= rays.size())
                continue;
            const QVector3D ray = toQt(transform.rotation.rotate(rays[bars[b][k]]));
            geometry.line(camera, camera + ray * barDistances[b][k]);
            // Only a ray going down meets the floor in front of the camera.
            const float t = -height / ray.y();
            if (t > 0 && std::isfinite(t))
                geometry.dot(camera + ray * t, 5);
        }
    }
}

} // namespace TrackingDebug
