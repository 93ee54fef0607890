#include "engine/AbstractTransform.h"

namespace KestrelQt3DEngine {

QMatrix4x4 AbstractTransform::getMatrix() {
    if (m_matrixDirty) {
        updateFromParent();
        m_worldMatrix.setToIdentity();
        m_worldMatrix.translate(m_worldPosition);
        m_worldMatrix.rotate(m_worldRotation);
        m_worldMatrix.scale(m_worldScale);
        m_matrixDirty = false;
    }
    return m_worldMatrix;
}

QVector3D AbstractTransform::getPosition() { return m_worldPosition; }
QQuaternion AbstractTransform::getRotation() { return m_worldRotation; }
float AbstractTransform::getScale() { return m_worldScale; }

} // namespace KestrelQt3DEngine
