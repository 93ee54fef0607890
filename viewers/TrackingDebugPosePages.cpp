#include "viewers/TrackingDebugPosePages.h"

#include <cmath>

#include "tracking/runtime/optimizer/PoseResidual.h"
#include "viewers/TrackingDebugDrawing.h"
#include "viewers/TrackingDebugText.h"

using KestrelQt3DEngine::LinedMeshConstructor;
using namespace Kestrel::Orb::Tracking;

namespace TrackingDebug {

namespace {

const QColor byIndex[3] = {QColor(255, 0, 0, 255), QColor(0, 255, 0, 255), QColor(0, 0, 255, 255)};
constexpr float crossHalf = 0.1f;
constexpr float markerRadius = 0.01f;
constexpr float projectionRadius = 0.009f;
constexpr double halfGravity = 4.905;

QVector3D fromEigen(const Eigen::Vector3d& v) { return QVector3D(float(v.x()), float(v.y()), float(v.z())); }
QQuaternion fromEigen(const Eigen::Quaterniond& q) { return QQuaternion(float(q.w()), float(q.x()), float(q.y()), float(q.z())); }

} // namespace

void drawVisualPosition(LinedMeshConstructor& geometry, const OpticFrame& frame, const Vec3f& position,
                        const Quatf& rotation) {
    const QVector3D p = toQt(position);
    geometry.label(p, general(position[1]));
    for (const Ray& ray : frame.rays) {
        if (ray.markerIndex == unmatchedMarker)
            geometry.setCurrentColor(QColor(0, 0, 0, 64));
        else
            geometry.setCurrentColor(byIndex[((ray.markerIndex % 3) + 3) % 3]);
        const QVector3D d = toQt(rotation.rotate(ray.direction));
        const QVector3D end = p - d * (p.y() / d.y());
        // A ray parallel to the floor never lands on it.
        if (!isFinite(end))
            continue;
        geometry.line(p, end);
        geometry.line(end - QVector3D(crossHalf, 0, 0), end + QVector3D(crossHalf, 0, 0));
        geometry.line(end - QVector3D(0, 0, crossHalf), end + QVector3D(0, 0, crossHalf));
    }
}

void drawMatchProjections(LinedMeshConstructor& geometry, const std::vector<Vec2f>& markers,
                          const std::vector<Vec2f>& projections, const std::vector<MarkerIndex>& indices) {
    geometry.setCurrentColor(QColor(255, 0, 96, 255));
    geometry.label(QVector3D(), "markers");
    for (const Vec2f& marker : markers)
        geometry.circle(markerRadius, flat(marker), floorNormal);
    geometry.setCurrentColor(QColor(96, 0, 255, 255));
    geometry.label(QVector3D(), "\nprojections");
    for (const Vec2f& projection : projections)
        geometry.circle(projectionRadius, flat(projection), floorNormal);
    for (std::size_t i = 0; i < projections.size() && i < indices.size(); ++i) {
        const MarkerIndex e = indices[i];
        if (e == unmatchedMarker || !isMarker(e, markers.size()))
            continue;
        const QVector3D from = flat(projections[i]), to = flat(markers[std::size_t(e)]);
        geometry.line(from, to);
        geometry.label(from, QStringLiteral("\nm:") + QString::number(e) + QStringLiteral("\nerror:") +
                                 general(double((to - from).length()) * 1000) + QStringLiteral("mm"));
    }
}

QString drawOptimization(LinedMeshConstructor& geometry, const std::vector<Vec3f>& markers, const OptimizerState& state,
                         const StateDelta& delta, const History& history) {
    geometry.setCurrentColor(QColor(0, 0, 0, 32));
    for (const Vec3f& marker : markers)
        geometry.circle(markerRadius, toQt(marker), floorNormal);

    if (history.count() > 0) {
        const QQuaternion rotation = toQt(state.rotation);
        const QVector3D camera = toQt(state.position) + rotation.rotatedVector(QVector3D(0, 0, float(cameraOffset)));
        for (const Ray& ray : history.fromNewest(0).frame.rays) {
            const QVector3D direction = rotation.rotatedVector(toQt(ray.direction));
            if (!isMarker(ray.markerIndex, markers.size())) {
                geometry.setCurrentColor(QColor(128, 64, 64, 32));
                geometry.line(camera, camera + direction);
                continue;
            }
            const QVector3D marker = toQt(markers[std::size_t(ray.markerIndex)]);
            const QVector3D towardsMarker = marker - camera;
            const QVector3D end = camera + direction * towardsMarker.length();
            const float miss = (marker - end).length();
            geometry.setCurrentColor(QColor(0, 0, 0, 255));
            geometry.line(marker, end);
            geometry.setCurrentColor(ray.usedByOptimizer ? QColor(0, 255, 0, 128) : QColor(128, 128, 128, 128));
            geometry.label(marker, general(miss, 2));
            geometry.line(camera, end);
        }

        // The older frames at the poses the optimiser carries back to (gravity taken off once,
        // as 4.905 t^2 on the vertical axis).
        StateCarrier carrier(state);
        for (int age = 1; age < history.count(); ++age) {
            const FrameRecord& record = history.fromNewest(age);
            carrier.stepBack(record.leap);
            const FramePose& pose = carrier.pose();
            Eigen::Vector3d position = pose.position;
            position.y() -= halfGravity * pose.time * pose.time;
            const QVector3D framePosition = fromEigen(position);
            const QQuaternion frameRotation = fromEigen(pose.rotation);
            geometry.coordSyst(framePosition, frameRotation, 0.1, 32);
            const QVector3D frameCamera = fromEigen(cameraPosition(pose));
            geometry.setCurrentColor(QColor(255, 0, 0, 64));
            for (const Ray& ray : record.frame.rays)
                geometry.dot(frameCamera + frameRotation.rotatedVector(toQt(ray.direction)), 4);
        }
    }
    return optimizationText(state, delta);
}

QString drawUser(LinedMeshConstructor& geometry, const UserSnapshot& snapshot) {
    geometry.coordSyst(QVector3D(), QQuaternion(), 0.01);
    geometry.coordSyst(toQt(snapshot.placement.position), toQt(snapshot.placement.rotation), 0.01);
    geometry.coordSyst(toQt(snapshot.tracker.position), toQt(snapshot.tracker.rotation), 0.5);
    for (std::size_t i = 0; i < snapshot.placed.size(); ++i) {
        const State& placed = snapshot.placed[i];
        const QVector3D position = toQt(placed.position);
        const QQuaternion rotation = toQt(placed.rotation);
        geometry.coordSyst(position, rotation, 1, int(5 - i) * 51);
        if (i == 0) {
            geometry.setCurrentColor(QColor(255, 255, 0, 255));
            geometry.line(position, position + toQt(placed.velocity));
            geometry.setCurrentColor(QColor(0, 255, 255, 255));
            geometry.line(position, position + rotation.rotatedVector(toQt(placed.angularVelocity)));
        }
    }
    return userText(snapshot.tracker);
}

} // namespace TrackingDebug
