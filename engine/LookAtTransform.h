#pragma once
#include "engine/LPRSTransform.h"

namespace KestrelQt3DEngine {

// A transform that turns its +Z axis towards a target point, with world +Y as up.
// Its rotation is computed in world space and replaces both local and world rotation.
class LookAtTransform : public LPRSTransform {
    Q_OBJECT
    Q_PROPERTY(QVector3D position READ getPosition WRITE setPosition NOTIFY positionChanged)
    Q_PROPERTY(QQuaternion rotation READ getRotation WRITE setRotation NOTIFY rotationChanged)
    Q_PROPERTY(qreal scale READ worldScale WRITE setWorldScale NOTIFY scaleChanged)
    Q_PROPERTY(QVector3D localPosition READ localPosition WRITE setLocalPosition NOTIFY localPositionChanged)
    Q_PROPERTY(QQuaternion localRotation READ localRotation NOTIFY localRotationChanged)
    Q_PROPERTY(qreal localScale READ localScaleValue WRITE setLocalScaleValue NOTIFY localScaleChanged)
    Q_PROPERTY(QVector3D targetPosition READ targetPosition WRITE setTargetPosition NOTIFY targetPositionChanged)
    Q_PROPERTY(QVector3D localUp READ localUp WRITE setLocalUp NOTIFY localUpChanged)
public:
    explicit LookAtTransform(QObject* parent = nullptr);

    qreal worldScale() { return getScale(); }
    void setWorldScale(qreal scale) { setScale(static_cast<float>(scale)); }
    qreal localScaleValue() const { return localScale(); }
    void setLocalScaleValue(qreal scale) { setLocalScale(static_cast<float>(scale)); }

    QVector3D targetPosition() const { return m_targetPosition; }
    void setTargetPosition(const QVector3D& targetPosition);
    // Stored and signalled only: the up direction is always world +Y.
    QVector3D localUp() const { return m_localUp; }
    void setLocalUp(const QVector3D& localUp);

    QQuaternion getRotation() override;
    void onParentChanged(unsigned flags) override;

signals:
    void positionChanged() override;
    void rotationChanged() override;
    void scaleChanged() override;
    void localPositionChanged() override;
    void localRotationChanged() override;
    void localScaleChanged() override;
    void targetPositionChanged();
    void localUpChanged();

protected:
    // Moving a look-at transform also turns it, so its subtree hears of both.
    unsigned positionChangeFlags() const override { return PositionDirty | RotationDirty; }
    bool signalsPositionOnEveryWrite() const override { return false; }
    void updatePosition() override;
    void updateRotation() override;

private:
    void computeLookAt();

    QVector3D m_targetPosition;
    QVector3D m_localUp;
};

} // namespace KestrelQt3DEngine
