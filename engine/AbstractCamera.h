#pragma once
#include "engine/Container.h"
#include "engine/ViewportInvalidater.h"

#include <QMatrix4x4>
#include <QQmlParserStatus>
#include <QVector3D>

class QOpenGLShaderProgram;

namespace KestrelQt3DEngine {

// Gives the viewport its view and projection. The camera looks along +Z of its transform with
// +Y up and +X right; the view matrix is the inverse of the transform's world matrix.
class AbstractCamera : public Container, public ViewportInvalidater, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QMatrix4x4 viewMatrix READ viewMatrix WRITE setViewMatrix)
    Q_PROPERTY(QMatrix4x4 projectionMatrix READ projectionMatrix WRITE setProjectionMatrix)
public:
    explicit AbstractCamera(QObject* parent = nullptr);
    ~AbstractCamera() override;

    virtual QMatrix4x4 projectionMatrix() = 0;
    virtual QMatrix4x4 viewMatrix();
    // Distance along the view axis from the camera to depth z (0 where it has no meaning).
    virtual float cameraDepth(float z) = 0;
    Q_INVOKABLE virtual QVector3D pixelToWorld(qreal mouseX, qreal mouseY) = 0;
    Q_INVOKABLE virtual QVector3D worldToPixel(const QVector3D& position) = 0;

    void setViewMatrix(const QMatrix4x4& viewMatrix);
    void setProjectionMatrix(const QMatrix4x4& projectionMatrix);

    // Sets the engine's fixed uniforms for a draw with the given model matrix (program bound).
    void bindUniforms(QOpenGLShaderProgram* program, const QMatrix4x4& model);

    void onParentChanged(unsigned flags) override;
    void classBegin() override {}
    void componentComplete() override;

protected:
    // The viewport item size in pixels; false without a viewport.
    bool viewportSize(float& width, float& height) const;

    QMatrix4x4 m_view;
    QMatrix4x4 m_projection;
    bool m_projectionDirty = true;

private slots:
    void notifyUpdateProjection();
    void viewportDestroyed();
};

} // namespace KestrelQt3DEngine
