#include "engine/ChildTransform.h"

namespace KestrelQt3DEngine {

ChildTransform::ChildTransform(QObject* parent) : Container(parent) {}

ChildTransform::~ChildTransform() { detachFromParent(); }

QVector3D ChildTransform::getPosition() {
    updatePosition();
    return m_worldPosition;
}

QQuaternion ChildTransform::getRotation() {
    updateRotation();
    return m_worldRotation;
}

float ChildTransform::getScale() {
    updateScale();
    return m_worldScale;
}

void ChildTransform::onParentChanged(unsigned flags) {
    m_dirtyFlags |= flags;
    m_matrixDirty = true;
    if (flags & PositionDirty)
        positionChanged();
    if (flags & RotationDirty)
        rotationChanged();
    if (flags & ScaleDirty)
        scaleChanged();
    notifyObservers(flags);
}

} // namespace KestrelQt3DEngine
