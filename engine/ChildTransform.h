#pragma once
#include "engine/AbstractTransform.h"
#include "engine/Container.h"
#include "engine/TransformObserver.h"

#include <QQmlParserStatus>

namespace KestrelQt3DEngine {

// A transform that hangs below a parent transform: it derives its world values from the
// parent lazily and relays the parent's changes to its own observers. A parent change only
// sets dirty bits and signals; the values are recomputed through the update hooks when next
// read (on the render path).
class ChildTransform : public Container, public AbstractTransform, public TransformObserver, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::AbstractTransform QQmlParserStatus)
public:
    explicit ChildTransform(QObject* parent = nullptr);
    ~ChildTransform() override;

    // The world change signals; the concrete transforms declare them as their own signals.
    virtual void positionChanged() = 0;
    virtual void rotationChanged() = 0;
    virtual void scaleChanged() = 0;

    QVector3D getPosition() override;
    QQuaternion getRotation() override;
    float getScale() override;

    // Marks the flagged world values dirty, signals them and passes the flags on.
    void onParentChanged(unsigned flags) override;

    void classBegin() override {}

protected:
    // Bring one world value up to date from the parent when it is dirty.
    virtual void updatePosition() = 0;
    virtual void updateRotation() = 0;
    virtual void updateScale() = 0;
};

} // namespace KestrelQt3DEngine
