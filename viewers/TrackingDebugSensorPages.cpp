#include "viewers/TrackingDebugSensorPages.h"

#include "tracking/runtime/optimizer/OptimizerState.h"
#include "viewers/TrackingDebugDrawing.h"

using KestrelQt3DEngine::LinedMeshConstructor;
using namespace Kestrel::Orb::Tracking;

namespace TrackingDebug {

namespace {

constexpr float halfGravity = 4.905f;  // m/s^2, half of 9.81

QColor tagColour(MarkerIndex tag) {
    if (tag == ambiguousMarker)
        return QColor(255, 0, 0, 128);
    if (tag >= 0)
        return QColor(0, 255, 0, 128);
    return QColor(0, 0, 0, 64);
}

QVector3D vector(const float (&v)[3]) { return QVector3D(v[0], v[1], v[2]); }

} // namespace

void drawOptics(LinedMeshConstructor& geometry, const OpticFrame& frame) {
    geometry.coordSyst(QVector3D(), QQuaternion(), 1);
    const QVector3D up = toQt(frame.up);
    geometry.setCurrentColor(QColor(0, 255, 0, 255));
    geometry.ray(up);
    geometry.label(up, "up");
    const QVector3D raise(0, 0, rayOriginZ);
    for (std::size_t i = 0; i < frame.rays.size(); ++i) {
        QVector3D end = toQt(frame.rays[i].direction);
        const float m = -QVector3D::dotProduct(up, end);
        if (m > 0) {
            end /= m;
            geometry.setCurrentColor(QColor(0, 0, 0, 200));
        } else {
            geometry.setCurrentColor(QColor(255, 128, 128, 200));
        }
        geometry.line(raise, end + raise);
        geometry.label(end + raise, QStringLiteral("ray:") + QString::number(i));
    }
}

void drawHistory(LinedMeshConstructor& geometry, const History& history, const std::vector<HistoryMarker>& newest) {
    geometry.setCurrentColor(QColor(0, 0, 255, 255));
    geometry.label(QVector3D(), "\nextrapolated previous projections");
    if (history.count() == 0)
        return;
    const FrameRecord& latest = history.fromNewest(0);

    // Where each matched blob meets its marker now, and where the blob tracking predicted the
    // same blob of the frame before: turned by the inertial leap, moved by the velocity, at the
    // distance that blob had.
    for (std::size_t k = 0; k < latest.frame.rays.size() && k < newest.size(); ++k) {
        const Ray& ray = latest.frame.rays[k];
        if (ray.markerIndex < 0 || ray.previousLink < 0 || std::size_t(ray.previousLink) >= history.projections.size())
            continue;
        const HistoryMarker& predicted = history.projections[std::size_t(ray.previousLink)];
        geometry.line(toQt(newest[k].direction * newest[k].distance), toQt(predicted.direction * predicted.distance));
    }

    // The newest leap; a leap of no duration has nothing to show (and would divide by zero).
    const float t = latest.leap.duration;
    if (t > 0) {
        const QVector3D a = vector(latest.leap.positionDelta);
        const QVector3D b = vector(latest.leap.velocityDelta);
        const QVector3D acceleration = a / (t * t);
        const QVector3D velocity = b / (2 * t);
        const QVector3D gravityLength = a.normalized() * halfGravity;
        geometry.setCurrentColor(QColor(0, 0, 255, 32));
        geometry.ray(acceleration);
        geometry.dot(gravityLength, 5);
        geometry.setCurrentColor(QColor(255, 64, 0, 32));
        geometry.ray(velocity);
        geometry.setCurrentColor(QColor(0, 0, 0, 32));
        geometry.line(acceleration, gravityLength);
        geometry.line(gravityLength, velocity);
        geometry.line(velocity, acceleration);
    }

    // Blob tracks: every frame's rays, linked to the ray they continue one frame older.
    for (int age = 0; age + 1 < history.count(); ++age) {
        const std::vector<Ray>& rays = history.fromNewest(age).frame.rays;
        const std::vector<Ray>& older = history.fromNewest(age + 1).frame.rays;
        for (const Ray& ray : rays) {
            geometry.setCurrentColor(tagColour(ray.markerIndex));
            const QVector3D direction = toQt(ray.direction);
            geometry.dot(direction, 5);
            if (ray.previousLink >= 0 && std::size_t(ray.previousLink) < older.size())
                geometry.line(direction, toQt(older[std::size_t(ray.previousLink)].direction));
        }
    }
}

void drawUmi(LinedMeshConstructor& geometry, const UpCollector<double>& up) {
    const auto& window = up.pairA().primary();
    if (window.count() == 0)
        return;
    const KestrelMath::vector<double, 3> mean = window.sums() / double(window.count());
    const KestrelMath::vector<double, 3> local = up.rotation().conjugate().rotate(mean);
    const QVector3D tip{float(local[0]), float(local[1]), float(local[2])};
    geometry.setCurrentColor(QColor(0, 255, 0, 128));
    geometry.ray(tip);
    geometry.label(tip, QStringLiteral("up. length:") + QString::number(KestrelMath::length(local), 'g', 6) + QStringLiteral("g"));
}

} // namespace TrackingDebug
