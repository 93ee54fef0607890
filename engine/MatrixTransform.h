#pragma once
#include "engine/ChildTransform.h"

namespace KestrelQt3DEngine {

// A transform given by a full local matrix; world position, scale and rotation are read back
// out of the world matrix.
class MatrixTransform : public ChildTransform {
    Q_OBJECT
    Q_PROPERTY(QMatrix4x4 localMatrix READ localMatrix WRITE setLocalMatrix NOTIFY localMatrixChanged)
    Q_PROPERTY(QVector3D position READ getPosition WRITE setPosition NOTIFY positionChanged)
    Q_PROPERTY(QQuaternion rotation READ getRotation WRITE setRotation NOTIFY rotationChanged)
    Q_PROPERTY(qreal scale READ worldScale NOTIFY scaleChanged)
public:
    explicit MatrixTransform(QObject* parent = nullptr);

    void updateFromParent() override;
    QMatrix4x4 getMatrix() override;
    void componentComplete() override;

    QMatrix4x4 localMatrix() const { return m_localMatrix; }
    void setLocalMatrix(const QMatrix4x4& localMatrix);
    void setPosition(const QVector3D& position);
    void setRotation(const QQuaternion& rotation);
    qreal worldScale() { return getScale(); }

signals:
    void localMatrixChanged();
    void positionChanged() override;
    void rotationChanged() override;
    void scaleChanged() override;

protected:
    // All world values come out of the one world matrix.
    void updatePosition() override { updateFromParent(); }
    void updateRotation() override { updateFromParent(); }
    void updateScale() override { updateFromParent(); }

private:
    QMatrix4x4 m_localMatrix;
};

} // namespace KestrelQt3DEngine
