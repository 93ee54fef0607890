#pragma once
#include "engine/AbstractTransform.h"
#include "engine/Container.h"
#include "engine/TransformObserver.h"

#include <QQmlParserStatus>

namespace KestrelQt3DEngine {

// A transform given by local position, rotation and uniform scale relative to its parent
// transform. World values are derived lazily: a change only sets dirty bits and tells the
// subtree; the values are recomputed when they are next read (on the render path).
class LPRSTransform : public Container, public AbstractTransform, public TransformObserver, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::AbstractTransform QQmlParserStatus)
public:
    explicit LPRSTransform(QObject* parent = nullptr);
    ~LPRSTransform() override;

    // The change signals; the concrete transforms declare them as their own signals.
    virtual void positionChanged() = 0;
    virtual void rotationChanged() = 0;
    virtual void scaleChanged() = 0;
    virtual void localPositionChanged() = 0;
    virtual void localRotationChanged() = 0;
    virtual void localScaleChanged() = 0;

    void updateFromParent() override;
    QVector3D getPosition() override;
    QQuaternion getRotation() override;
    float getScale() override;

    void onParentChanged(unsigned flags) override;

    void classBegin() override {}
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
    virtual void updatePosition();
    virtual void updateRotation();
    void updateScale();

    QVector3D m_localPosition;
    QQuaternion m_localRotation;
    float m_localScale = 1.0f;
    bool m_complete = false;
};

} // namespace KestrelQt3DEngine
