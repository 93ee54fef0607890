#include "engine/LookAtTransform.h"

#include <QThread>

namespace KestrelQt3DEngine {

LookAtTransform::LookAtTransform(QObject* parent) : LPRSTransform(parent) {}

void LookAtTransform::updatePosition() {
    if (!(m_dirtyFlags & PositionDirty) || !m_parent)
        return;
    LPRSTransform::updatePosition();
    computeLookAt();
}

// The rotation comes from the look-at rule, never from the parent's rotation; it is fresh
// once the position is.
void LookAtTransform::updateRotation() {
    m_dirtyFlags &= ~RotationDirty;
}

QQuaternion LookAtTransform::getRotation() {
    updatePosition();
    updateRotation();
    return m_worldRotation;
}

void LookAtTransform::onParentChanged(unsigned flags) {
    if (flags & PositionDirty)
        flags |= RotationDirty;
    LPRSTransform::onParentChanged(flags);
}

// d = normalize(target - position); q0 turns +Z onto d; q1 then turns q0's up onto the up
// vector that is perpendicular to d in the plane of d and world +Y.
void LookAtTransform::computeLookAt() {
    const QVector3D direction = (m_targetPosition - m_worldPosition).normalized();
    const QQuaternion q0 = QQuaternion::rotationTo(QVector3D(0, 0, 1), direction);
    const QVector3D right = QVector3D::crossProduct(direction, QVector3D(0, 1, 0));
    const QVector3D up = QVector3D::crossProduct(right, direction);
    const QQuaternion q1 = QQuaternion::rotationTo(q0.rotatedVector(QVector3D(0, 1, 0)), up);
    const QQuaternion rotation = q1 * q0;
    m_localRotation = rotation;
    m_worldRotation = rotation;
    // The lazy update runs on the render thread when a frame reads the matrix; QML hears of
    // the new rotation on the transform's own thread.
    if (QThread::currentThread() == thread())
        localRotationChanged();
    else
        QMetaObject::invokeMethod(this, [this] { localRotationChanged(); }, Qt::QueuedConnection);
}

void LookAtTransform::setTargetPosition(const QVector3D& targetPosition) {
    if (targetPosition == m_targetPosition)
        return;
    m_targetPosition = targetPosition;
    targetPositionChanged();
    if (m_complete) {
        m_matrixDirty = true;
        updatePosition();
        computeLookAt();
        rotationChanged();
        notifyObservers(RotationDirty | PositionDirty);
    }
}

void LookAtTransform::setLocalUp(const QVector3D& localUp) {
    if (localUp == m_localUp)
        return;
    m_localUp = localUp;
    localUpChanged();
}

} // namespace KestrelQt3DEngine
