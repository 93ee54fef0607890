#include "viewers/TaskViewer_OrbTracking_MidSpace.h"

#include <QQmlEngine>

#include <algorithm>
#include <cmath>

#include "device_network/NetworkHolder.h"
#include "tracking/runtime/calibration/CameraProjection.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using Kestrel::Orb::Tracking::MidSpaceCotask;
using Vec3f = KestrelMath::vector3<float>;

namespace {
const QVector3D planeNormal(0, 0, 1);
constexpr double radiansToDegrees = 57.295776;
constexpr double samplesPerSecond = 2000;

QString general(double value) { return QString::number(value, 'g', 6); }
} // namespace

TaskViewer_OrbTracking_MidSpace::TaskViewer_OrbTracking_MidSpace(QObject* parent) : TaskViewer(parent) {
    QQmlEngine::setObjectOwnership(&geometry_, QQmlEngine::CppOwnership);
}

TaskViewer_OrbTracking_MidSpace::~TaskViewer_OrbTracking_MidSpace() = default;

Kestrel::DeviceNetwork::InterfaceId TaskViewer_OrbTracking_MidSpace::taskIdentifier() const {
    return Kestrel::Orb::Tracking::trackingTaskId;
}

Kestrel::DeviceNetwork::CotaskPair TaskViewer_OrbTracking_MidSpace::createCotask(Kestrel::DeviceNetwork::NodeHandle node) {
    auto task = Kestrel::InterfaceContract::makeInterfaced<MidSpaceCotask, Kestrel::DeviceNetwork::ICotask>(
        Kestrel::DeviceNetwork::NetworkHolder::instance().networkFor(node), node);
    Kestrel::DeviceNetwork::CotaskPair pair;
    pair.connection = Kestrel::Orb::Tracking::wireTrackingTask(*static_cast<MidSpaceCotask*>(task.get()));
    pair.cotask = std::move(task);
    return pair;
}

void TaskViewer_OrbTracking_MidSpace::setControls(const QVariantMap& controls) {
    if (controls == controls_)
        return;
    controls_ = controls;
    emit controlsChanged();
}

bool TaskViewer_OrbTracking_MidSpace::control(const char* name) {
    const QString key = QString::fromLatin1(name);
    auto found = controls_.constFind(key);
    if (found != controls_.constEnd())
        return found->toBool();
    controls_.insert(key, false);
    emit controlsChanged();
    return false;
}

QVector3D TaskViewer_OrbTracking_MidSpace::project(const Vec3f& direction, float xi) {
    const float zXi = direction[2] + xi;
    const float r = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + zXi * zXi);
    QVector3D point(direction[0] / r, direction[1] / r, 0);
    const float k = zXi / r;
    if (k < 0)
        point *= 1.0f / (1.0f - k * k);
    return point;
}

void TaskViewer_OrbTracking_MidSpace::drawPoint(const QVector3D& point, bool withCoordinates) {
    geometry_.dot(point, 5);
    if (withCoordinates)
        geometry_.label(point, QStringLiteral("x: ") + general(point.x()) + QStringLiteral("\ny: ") + general(point.y()));
}

void TaskViewer_OrbTracking_MidSpace::onTick() {
    if (auto* task = cotaskAs<MidSpaceCotask>())
        draw(*task);
}

void TaskViewer_OrbTracking_MidSpace::draw(const MidSpaceCotask& task) {
    const float xi = task.xi();
    geometry_.clear();
    geometry_.setSegmentsCount(128);

    geometry_.setCurrentColor(QColor(0, 0, 0, 192));
    geometry_.label(QVector3D(1, 0, 0), QStringLiteral("one"));
    geometry_.circle(1, QVector3D(), planeNormal);

    geometry_.setCurrentColor(QColor(0, 0, 0, 128));
    const float clipRadius = std::sqrt(task.maximumRadiusSquared());
    const Vec3f clipDirection = Kestrel::Orb::Tracking::directionFromImagePoint(clipRadius, 0, xi);
    const double clipAngle = std::acos(std::clamp(double(clipDirection[2]), -1.0, 1.0)) * radiansToDegrees;
    geometry_.circle(clipRadius, QVector3D(), planeNormal);
    geometry_.label(QVector3D(clipRadius, 0, 0), QStringLiteral("\nclip ") + general(clipAngle) + QStringLiteral(" deg"));

    geometry_.setCurrentColor(QColor(128, 64, 0, 255));
    const float ninetyRadius = project(Vec3f{1, 0, 0}, xi).x();
    geometry_.circle(ninetyRadius, QVector3D(), planeNormal);
    geometry_.label(QVector3D(ninetyRadius, 0, 0), QStringLiteral("90 deg"));

    const std::vector<MidSpaceCotask::Point> points = task.previousFrame();
    const bool coordinates = control(showPointsCoordinates);
    geometry_.setCurrentColor(QColor(128, 0, 0, 255));
    for (const auto& point : points)
        drawPoint(QVector3D(point[0], point[1], 0), coordinates);

    if (control(showNegativePoints)) {
        geometry_.setCurrentColor(QColor(0, 0, 128, 255));
        for (const auto& point : points) {
            const Vec3f direction = Kestrel::Orb::Tracking::directionFromImagePoint(point[0], point[1], xi);
            drawPoint(project(Vec3f{-direction[0], -direction[1], -direction[2]}, xi), coordinates);
        }
    }

    if (control(showAveragedPoint)) {
        task.withAccumulators([&](const MidSpaceCotask::Accumulators& accumulators) {
            const auto& window = accumulators.points.primary();
            if (window.count() == 0)
                return;
            const double count = double(window.count());
            const double mx = window.sums()[0] / count, my = window.sums()[1] / count;
            const double vx = std::max(window.sumsOfSquares()[0] / count - mx * mx, 0.0);
            const double vy = std::max(window.sumsOfSquares()[1] / count - my * my, 0.0);
            const double d = vx + vy;
            const QVector3D mean(float(mx), float(my), 0);
            geometry_.setCurrentColor(QColor(0, 0, 0, 255));
            geometry_.circle(std::sqrt(d), mean, planeNormal);
            geometry_.dot(mean, 30);
            geometry_.label(mean, QStringLiteral("\nx: ") + general(mx) + QStringLiteral("\ny: ") + general(my) +
                                      QStringLiteral("\nd: ") + general(d));
        });
    }

    if (control(angularVelocity)) {
        // Read before the accumulators: both reads take the task's mutex.
        const double turnRate = task.turnRate();
        task.withAccumulators([&](const MidSpaceCotask::Accumulators& accumulators) {
            const auto& window = accumulators.gyroscope.primary();
            if (window.count() == 0)
                return;
            const auto& sums = window.sums();
            const double scale = samplesPerSecond / double(window.count());
            const double w[3] = {sums[0] * scale, sums[1] * scale, sums[2] * scale};
            const double magnitude = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
            // Without a turn there is no axis to draw.
            if (!(magnitude > 0))
                return;
            const Vec3f axis{float(w[0] / magnitude), float(w[1] / magnitude), float(w[2] / magnitude)};
            auto drawAxis = [&](const Vec3f& direction, const QColor& color, const char* sign) {
                const QVector3D p = project(direction, xi);
                geometry_.setCurrentColor(color);
                geometry_.label(p, QString::fromLatin1(sign) + general(magnitude) + QStringLiteral(" deg/s"));
                geometry_.dot(p, 10);
                geometry_.label(p, QStringLiteral("\nx: ") + general(p.x()) + QStringLiteral("\ny: ") + general(p.y()) +
                                       QStringLiteral("\nt: ") + general(turnRate));
            };
            // Red for the axis, blue for its opposite, both see-through (alpha 64 of 255). Read
            // as bytes, (1, 0, 0) and (0, 0, 1) would be black on the white background.
            drawAxis(axis, QColor(255, 0, 0, 64), " av+");
            drawAxis(Vec3f{-axis[0], -axis[1], -axis[2]}, QColor(0, 0, 255, 64), " av-");
        });
    }

    emit emitNewGeometry(&geometry_);
}
