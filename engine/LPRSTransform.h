#pragma once
#include "engine/ChildTransform.h"

namespace KestrelQt3DEngine {

// A transform given by local position, rotation and uniform scale relative to its parent
// transform. World values are derived lazily: a change only sets dirty bits and tells the
// subtree; the values are recomputed when they are next read (on the render path).
class LPRSTransform : public ChildTransform {
    Q_OBJECT
public:
    explicit LPRSTransform(QObject* parent = nullptr);

    // The local change signals; the concrete transforms declare them as their own signals.
    virtual void localPositionChanged() = 0;
    virtual void localRotationChanged() = 0;
    virtual void localScaleChanged() = 0;

    void updateFromParent() override;
    void componentComplete() override;
    bool isComplete() const { return m_complete; }

    QVector3D localPosition() const { return m_localPosition; }
    void setLocalPosition(const QVector3D& localPosition);
    QQuaternion localRotation() const { return m_localRotation; }
    float localScale() const { return m_localScale; }
    void setLocalScale(float localScale);

    // World writes are stored as they are; the next recomputation from the parent replaces them.
    void setPosition(const QVector3D& position);
    void setRotation(const QQuaternion& rotation);
    void setScale(float scale);

protected:
    void setLocalRotationValue(const QQuaternion& localRotation);
    // Flags a change of this transform's own local position passes to the subtree.
    virtual unsigned positionChangeFlags() const { return PositionDirty; }
    // A plain transform signals positionChanged on every write of localPosition.
    virtual bool signalsPositionOnEveryWrite() const { return true; }
    void updatePosition() override;
    void updateRotation() override;
    void updateScale() override;

    QVector3D m_localPosition;
    QQuaternion m_localRotation;
    float m_localScale = 1.0f;
    bool m_complete = false;
};

} // namespace KestrelQt3DEngine
