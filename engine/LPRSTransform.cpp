#include "engine/LPRSTransform.h"

namespace KestrelQt3DEngine {

LPRSTransform::LPRSTransform(QObject* parent) : ChildTransform(parent) {}

void LPRSTransform::componentComplete() {
    attachToParent(parent());
    m_complete = true;
    m_matrixDirty = true;
}

void LPRSTransform::updateFromParent() {
    if (!m_parent || !m_dirtyFlags)
        return;
    m_parent->updateFromParent();
    updatePosition();
    updateRotation();
    updateScale();
}

// position_world = P.position + P.rotation * (P.scale * position_local)
void LPRSTransform::updatePosition() {
    if (!(m_dirtyFlags & PositionDirty) || !m_parent)
        return;
    m_dirtyFlags &= ~PositionDirty;
    m_worldPosition = m_parent->getPosition() + m_parent->getRotation().rotatedVector(m_parent->getScale() * m_localPosition);
}

// rotation_world = P.rotation * rotation_local
void LPRSTransform::updateRotation() {
    if (!(m_dirtyFlags & RotationDirty) || !m_parent)
        return;
    m_dirtyFlags &= ~RotationDirty;
    m_worldRotation = m_parent->getRotation() * m_localRotation;
}

void LPRSTransform::updateScale() {
    if (!(m_dirtyFlags & ScaleDirty) || !m_parent)
        return;
    m_dirtyFlags &= ~ScaleDirty;
    m_worldScale = m_parent->getScale() * m_localScale;
}

void LPRSTransform::setLocalPosition(const QVector3D& localPosition) {
    if (localPosition != m_localPosition) {
        m_localPosition = localPosition;
        localPositionChanged();
        if (m_complete) {
            m_dirtyFlags |= PositionDirty;
            m_matrixDirty = true;
            if (!signalsPositionOnEveryWrite())
                positionChanged();
            notifyObservers(positionChangeFlags());
        }
    }
    if (signalsPositionOnEveryWrite())
        positionChanged();
}

void LPRSTransform::setLocalRotationValue(const QQuaternion& localRotation) {
    if (localRotation == m_localRotation)
        return;
    m_localRotation = localRotation;
    localRotationChanged();
    if (m_complete) {
        m_dirtyFlags |= RotationDirty;
        m_matrixDirty = true;
        rotationChanged();
        notifyObservers(RotationDirty | PositionDirty);
    }
}

void LPRSTransform::setLocalScale(float localScale) {
    if (localScale == m_localScale)
        return;
    m_localScale = localScale;
    localScaleChanged();
    if (m_complete) {
        m_dirtyFlags |= ScaleDirty;
        m_matrixDirty = true;
        scaleChanged();
        notifyObservers(ScaleDirty | PositionDirty);
    }
}

// The children are told too: their world values depend on this one, and a written value that
// reached nobody would leave the subtree and its renderers stale.
void LPRSTransform::setPosition(const QVector3D& position) {
    if (position == m_worldPosition)
        return;
    m_worldPosition = position;
    m_matrixDirty = true;
    positionChanged();
    notifyObservers(PositionDirty);
}

void LPRSTransform::setRotation(const QQuaternion& rotation) {
    if (rotation == m_worldRotation)
        return;
    m_worldRotation = rotation;
    m_matrixDirty = true;
    rotationChanged();
    notifyObservers(RotationDirty | PositionDirty);
}

void LPRSTransform::setScale(float scale) {
    if (scale == m_worldScale)
        return;
    m_worldScale = scale;
    m_matrixDirty = true;
    scaleChanged();
    notifyObservers(ScaleDirty | PositionDirty);
}

} // namespace KestrelQt3DEngine
