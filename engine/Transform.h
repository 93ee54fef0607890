#pragma once
#include "engine/LPRSTransform.h"

namespace KestrelQt3DEngine {

// The plain transform of the scene tree.
class Transform : public LPRSTransform {
    Q_OBJECT
    Q_PROPERTY(QVector3D position READ getPosition WRITE setPosition NOTIFY positionChanged)
    Q_PROPERTY(QQuaternion rotation READ getRotation WRITE setRotation NOTIFY rotationChanged)
    Q_PROPERTY(qreal scale READ worldScale WRITE setWorldScale NOTIFY scaleChanged)
    Q_PROPERTY(QVector3D localPosition READ localPosition WRITE setLocalPosition NOTIFY localPositionChanged)
    Q_PROPERTY(QQuaternion localRotation READ localRotation WRITE setLocalRotation NOTIFY localRotationChanged)
    Q_PROPERTY(qreal localScale READ localScaleValue WRITE setLocalScaleValue NOTIFY localScaleChanged)
public:
    explicit Transform(QObject* parent = nullptr);

    void setLocalRotation(const QQuaternion& localRotation) { setLocalRotationValue(localRotation); }
    qreal worldScale() { return getScale(); }
    void setWorldScale(qreal scale) { setScale(static_cast<float>(scale)); }
    qreal localScaleValue() const { return localScale(); }
    void setLocalScaleValue(qreal scale) { setLocalScale(static_cast<float>(scale)); }

signals:
    void positionChanged() override;
    void rotationChanged() override;
    void scaleChanged() override;
    void localPositionChanged() override;
    void localRotationChanged() override;
    void localScaleChanged() override;
};

} // namespace KestrelQt3DEngine
