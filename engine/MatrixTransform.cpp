#include "engine/MatrixTransform.h"

#include <QMatrix3x3>

namespace KestrelQt3DEngine {

MatrixTransform::MatrixTransform(QObject* parent) : ChildTransform(parent) {}

void MatrixTransform::componentComplete() {
    attachToParent(parent());
    m_matrixDirty = true;
}

// matrix_world = P.matrix * matrix_local; position is its fourth column, scale the length of
// its first column, rotation the quaternion of its upper 3x3 divided by the scale.
void MatrixTransform::updateFromParent() {
    if (!m_parent || !m_dirtyFlags)
        return;
    m_worldMatrix = m_parent->getMatrix() * m_localMatrix;
    m_worldPosition = m_worldMatrix.column(3).toVector3D();
    m_worldScale = m_worldMatrix.column(0).toVector3D().length();
    const QMatrix4x4 unscaled = m_worldScale != 0.0f ? m_worldMatrix / m_worldScale : m_worldMatrix;
    m_worldRotation = QQuaternion::fromRotationMatrix(unscaled.toGenericMatrix<3, 3>());
    m_dirtyFlags = 0;
}

QMatrix4x4 MatrixTransform::getMatrix() {
    if (m_matrixDirty) {
        updateFromParent();
        m_matrixDirty = false;
    }
    return m_worldMatrix;
}

void MatrixTransform::setLocalMatrix(const QMatrix4x4& localMatrix) {
    if (localMatrix == m_localMatrix)
        return;
    m_localMatrix = localMatrix;
    localMatrixChanged();
    positionChanged();
    rotationChanged();
    scaleChanged();
    m_dirtyFlags = AllDirty;
    m_matrixDirty = true;
    notifyObservers(AllDirty);
}

void MatrixTransform::setPosition(const QVector3D& position) {
    if (position == m_worldPosition)
        return;
    m_worldPosition = position;
    positionChanged();
}

void MatrixTransform::setRotation(const QQuaternion& rotation) {
    if (rotation == m_worldRotation)
        return;
    m_worldRotation = rotation;
    rotationChanged();
}

} // namespace KestrelQt3DEngine
