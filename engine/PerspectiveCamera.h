#pragma once
#include "engine/AbstractCamera.h"

namespace KestrelQt3DEngine {

// Perspective camera with a vertical field of view in degrees. Normalised depth runs from 0 at
// the near plane to 1 at the far plane.
class PerspectiveCamera : public AbstractCamera {
    Q_OBJECT
    Q_PROPERTY(qreal farPlane READ farPlane WRITE setFarPlane NOTIFY farPlaneChanged)
    Q_PROPERTY(qreal nearPlane READ nearPlane WRITE setNearPlane NOTIFY nearPlaneChanged)
    Q_PROPERTY(qreal fieldOfView READ fieldOfView WRITE setFieldOfView NOTIFY filedOfViewChanged)
public:
    explicit PerspectiveCamera(QObject* parent = nullptr);

    qreal farPlane() const { return m_farPlane; }
    void setFarPlane(qreal farPlane);
    qreal nearPlane() const { return m_nearPlane; }
    void setNearPlane(qreal nearPlane);
    qreal fieldOfView() const { return m_fieldOfView; }
    void setFieldOfView(qreal fieldOfView);

    QMatrix4x4 projectionMatrix() override;
    float cameraDepth(float z) override;
    // The world point on the far plane under the pixel.
    QVector3D pixelToWorld(qreal mouseX, qreal mouseY) override;
    // The pixel of the projected point (z is 0), by the orthogonal camera's rule after the
    // perspective divide.
    QVector3D worldToPixel(const QVector3D& position) override;

signals:
    void farPlaneChanged();
    void nearPlaneChanged();
    void filedOfViewChanged();

private:
    float m_farPlane = 100.0f;
    float m_nearPlane = 0.1f;
    float m_fieldOfView = 45.0f;
};

} // namespace KestrelQt3DEngine
