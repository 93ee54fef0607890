#include "engine/OrthogonalCamera.h"

namespace KestrelQt3DEngine {

OrthogonalCamera::OrthogonalCamera(QObject* parent) : AbstractCamera(parent) {}

void OrthogonalCamera::setFarPlane(qreal farPlane) {
    if (static_cast<float>(farPlane) == m_farPlane)
        return;
    m_farPlane = static_cast<float>(farPlane);
    m_projectionDirty = true;
}

// diag(2 / width, 2 / height, 1 / far, 1)
QMatrix4x4 OrthogonalCamera::projectionMatrix() {
    float width = 0, height = 0;
    if (m_projectionDirty && viewportSize(width, height)) {
        m_projectionDirty = false;
        m_projection = QMatrix4x4(2.0f / width, 0, 0, 0,
                                  0, 2.0f / height, 0, 0,
                                  0, 0, 1.0f / m_farPlane, 0,
                                  0, 0, 0, 1);
    }
    return m_projection;
}

QVector3D OrthogonalCamera::pixelToWorld(qreal mouseX, qreal mouseY) {
    float width = 0, height = 0;
    if (!viewportSize(width, height))
        return {};
    const QVector3D ndc(2.0f * float(mouseX) / width - 1.0f, 1.0f - 2.0f * float(mouseY) / height, 0.0f);
    return (projectionMatrix() * viewMatrix()).inverted().map(ndc);
}

// pixel = (width * (ndc.x + 1) / 2, height * (1 - ndc.y) / 2, 0)
QVector3D OrthogonalCamera::worldToPixel(const QVector3D& position) {
    float width = 0, height = 0;
    if (!viewportSize(width, height))
        return {};
    const QVector3D ndc = (projectionMatrix() * viewMatrix()).map(position);
    return QVector3D(width * (ndc.x() + 1.0f) * 0.5f, height * (ndc.y() - 1.0f) * -0.5f, 0.0f);
}

} // namespace KestrelQt3DEngine
