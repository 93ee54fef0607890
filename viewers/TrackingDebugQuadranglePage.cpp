#include "viewers/TrackingDebugQuadranglePage.h"

#include <cmath>

#include "viewers/TrackingDebugDrawing.h"
#include "viewers/TrackingDebugText.h"

using KestrelQt3DEngine::LinedMeshConstructor;
using Kestrel::Orb::Tracking::AccumulatedCorners;
using Kestrel::Orb::Tracking::CornerObservations;
using Kestrel::Orb::Tracking::ReferenceCorner;
using Kestrel::Orb::Tracking::Vec2f;

namespace TrackingDebug {

namespace {

constexpr float axisLength = 5;
constexpr float slotDistance = 3;

// A bar of `length` centred at `centre` and turned by `heading` in the XZ plane: the segment
// between its end markers.
void drawBar(LinedMeshConstructor& geometry, const QVector3D& centre, float heading, float length) {
    const QVector3D half = QVector3D(std::cos(heading), 0, std::sin(heading)) * (length / 2);
    geometry.line(centre - half, centre + half);
}

QString weightsText(const ReferenceCorner& corner) {
    return general(corner.weightX) + QLatin1Char(' ') + general(corner.weightY) + QLatin1Char(' ') +
           general(corner.weightHeading);
}

void drawCorner(LinedMeshConstructor& geometry, const QVector3D& slot, const ReferenceCorner& corner, float barLength,
                const QColor& colour, const QString& title, float labelShift) {
    geometry.setCurrentColor(colour);
    drawBar(geometry, slot + QVector3D(corner.x, 0, corner.y), corner.heading, barLength);
    geometry.label(slot + QVector3D(labelShift, 0, -0.2f), title + weightsText(corner));
}

} // namespace

Vec2f quadrangleSlot(int corner) {
    const float x = (corner == 1 || corner == 2) ? slotDistance : -slotDistance;
    const float z = corner >= 2 ? slotDistance : -slotDistance;
    return Vec2f{{x, z}};
}

void drawQuadrangleDebug(LinedMeshConstructor& geometry, const CornerObservations& observed,
                         const AccumulatedCorners& accumulated, float barLength) {
    geometry.setCurrentColor(QColor(0, 0, 0, 255));
    geometry.line(QVector3D(-axisLength, 0, 0), QVector3D(axisLength, 0, 0));
    geometry.line(QVector3D(0, 0, -axisLength), QVector3D(0, 0, axisLength));
    for (int d = 0; d < 4; ++d) {
        const QVector3D slot = flat(quadrangleSlot(d));
        geometry.setCurrentColor(QColor(0, 0, 0, 255));
        drawBar(geometry, slot, 0, barLength);
        if (observed[std::size_t(d)])
            drawCorner(geometry, slot, *observed[std::size_t(d)], barLength, QColor(0, 0, 255, 255),
                       QStringLiteral("detected quality:"), 0.5f);
        drawCorner(geometry, slot, accumulated[std::size_t(d)], barLength, QColor(255, 0, 0, 255),
                   QStringLiteral("reference quality:"), -0.5f);
    }
}

} // namespace TrackingDebug
