#include "engine/PerspectiveCamera.h"

#include "engine/AbstractTransform.h"

#include <QVector4D>

#include <cmath>

namespace KestrelQt3DEngine {

PerspectiveCamera::PerspectiveCamera(QObject* parent) : AbstractCamera(parent) {}

void PerspectiveCamera::setFarPlane(qreal farPlane) {
    if (static_cast<float>(farPlane) == m_farPlane)
        return;
    m_farPlane = static_cast<float>(farPlane);
    emit farPlaneChanged();
    m_projectionDirty = true;
}

void PerspectiveCamera::setNearPlane(qreal nearPlane) {
    if (static_cast<float>(nearPlane) == m_nearPlane)
        return;
    m_nearPlane = static_cast<float>(nearPlane);
    emit nearPlaneChanged();
    m_projectionDirty = true;
}

void PerspectiveCamera::setFieldOfView(qreal fieldOfView) {
    if (static_cast<float>(fieldOfView) == m_fieldOfView)
        return;
    m_fieldOfView = static_cast<float>(fieldOfView);
    emit filedOfViewChanged();
    m_projectionDirty = true;
}

// f = 1 / tan(fov / 2); rows (f / aspect, 0, 0, 0), (0, f, 0, 0),
// (0, 0, F / (F - n), -F n / (F - n)), (0, 0, 1, 0): depth z = n maps to 0, z = F to 1.
QMatrix4x4 PerspectiveCamera::projectionMatrix() {
    if (!m_projectionDirty)
        return m_projection;
    m_projectionDirty = false;
    float width = 0, height = 0;
    if (viewportSize(width, height)) {
        const float f = 1.0f / std::tan(m_fieldOfView * float(M_PI) / 180.0f * 0.5f);
        const float aspect = width / height;
        const float n = m_nearPlane;
        const float F = m_farPlane;
        m_projection = QMatrix4x4(f / aspect, 0, 0, 0,
                                  0, f, 0, 0,
                                  0, 0, F / (F - n), -(F * n) / (F - n),
                                  0, 0, 1, 0);
    }
    return m_projection;
}

float PerspectiveCamera::cameraDepth(float z) {
    if (!transform())
        return 0.0f;
    return std::fabs(transform()->getPosition().z() - z);
}

QVector3D PerspectiveCamera::pixelToWorld(qreal mouseX, qreal mouseY) {
    float width = 0, height = 0;
    if (!viewportSize(width, height))
        return {};
    const QVector4D ndc(2.0f * float(mouseX) / width - 1.0f, 1.0f - 2.0f * float(mouseY) / height, 1.0f, 1.0f);
    const QVector4D world = (projectionMatrix() * viewMatrix()).inverted() * ndc;
    return world.toVector3D() / world.w();
}

QVector3D PerspectiveCamera::worldToPixel(const QVector3D& position) {
    float width = 0, height = 0;
    if (!viewportSize(width, height))
        return {};
    const QVector4D clip = projectionMatrix() * viewMatrix() * QVector4D(position, 1.0f);
    const QVector3D ndc = clip.toVector3D() / clip.w();
    return QVector3D(width * (ndc.x() + 1.0f) * 0.5f, height * (ndc.y() - 1.0f) * -0.5f, 0.0f);
}

} // namespace KestrelQt3DEngine
