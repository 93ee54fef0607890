#pragma once
#include "engine/AbstractCamera.h"

namespace KestrelQt3DEngine {

// Orthographic camera: one world unit is one pixel of the viewport item at transform scale 1.
class OrthogonalCamera : public AbstractCamera {
    Q_OBJECT
    Q_PROPERTY(qreal farPlane READ farPlane WRITE setFarPlane)
public:
    explicit OrthogonalCamera(QObject* parent = nullptr);

    qreal farPlane() const { return m_farPlane; }
    // A new far plane is used from the next frame on; it requests no repaint by itself.
    void setFarPlane(qreal farPlane);

    QMatrix4x4 projectionMatrix() override;
    float cameraDepth(float) override { return 0.0f; }
    QVector3D pixelToWorld(qreal mouseX, qreal mouseY) override;
    QVector3D worldToPixel(const QVector3D& position) override;

signals:
    void lookAtTransformChanged();
    void scaleChanged();

private:
    float m_farPlane = 100.0f;
};

} // namespace KestrelQt3DEngine
