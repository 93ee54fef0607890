#pragma once
#include "engine/AbstractTransform.h"
#include "engine/Container.h"
#include "engine/TransformObserver.h"

#include <QQmlParserStatus>

namespace KestrelQt3DEngine {

// A transform given by a full local matrix; world position, scale and rotation are read back
// out of the world matrix.
class MatrixTransform : public Container, public AbstractTransform, public TransformObserver, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::AbstractTransform QQmlParserStatus)
    Q_PROPERTY(QMatrix4x4 localMatrix READ localMatrix WRITE setLocalMatrix NOTIFY localMatrixChanged)
    Q_PROPERTY(QVector3D position READ getPosition WRITE setPosition NOTIFY positionChanged)
    Q_PROPERTY(QQuaternion rotation READ getRotation WRITE setRotation NOTIFY rotationChanged)
    Q_PROPERTY(qreal scale READ worldScale NOTIFY scaleChanged)
public:
    explicit MatrixTransform(QObject* parent = nullptr);
    ~MatrixTransform() override;

    void updateFromParent() override;
    QMatrix4x4 getMatrix() override;
    QVector3D getPosition() override;
    QQuaternion getRotation() override;
    float getScale() override;
    void onParentChanged(unsigned flags) override;

    void classBegin() override {}
    void componentComplete() override;

    QMatrix4x4 localMatrix() const { return m_localMatrix; }
    void setLocalMatrix(const QMatrix4x4& localMatrix);
    void setPosition(const QVector3D& position);
    void setRotation(const QQuaternion& rotation);
    qreal worldScale() { return getScale(); }

signals:
    void localMatrixChanged();
    void positionChanged();
    void rotationChanged();
    void scaleChanged();

private:
    QMatrix4x4 m_localMatrix;
};

} // namespace KestrelQt3DEngine
