#pragma once
#include "engine/ITransformObservable.h"

#include <QMatrix4x4>
#include <QObject>
#include <QQuaternion>
#include <QVector3D>

namespace KestrelQt3DEngine {

// A node of the transform tree as seen by its children and renderers: world values relative to
// the viewport, brought up to date lazily when they are read.
// Matrices use column vectors, M = T * R * S with uniform scale.
class AbstractTransform : public ITransformObservable {
public:
    // Recomputes the dirty world values from the parent (the parent first); nothing when there
    // is no parent or nothing is dirty.
    virtual void updateFromParent() = 0;
    virtual QMatrix4x4 getMatrix();
    virtual QVector3D getPosition();
    virtual QQuaternion getRotation();
    virtual float getScale();

protected:
    QMatrix4x4 m_worldMatrix;
    QVector3D m_worldPosition;
    QQuaternion m_worldRotation;
    float m_worldScale = 1.0f;
    bool m_matrixDirty = true;
};

} // namespace KestrelQt3DEngine

Q_DECLARE_INTERFACE(KestrelQt3DEngine::AbstractTransform, "com.kestrel.Qt.AbstractTransform")
