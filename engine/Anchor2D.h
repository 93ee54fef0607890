#pragma once
#include "engine/IRenderable.h"
#include "engine/ViewportInvalidater.h"

#include <QQuickItem>
#include <QVector3D>

namespace KestrelQt3DEngine {

// A Qt Quick item that follows the screen projection of a 3D point: QML binds its x and y to
// positionProjected. The projection is made on the render thread each frame and handed to the
// GUI thread, where the properties change and their signals are emitted.
class Anchor2D : public QQuickItem, public ViewportInvalidater, public IRenderable {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::IRenderable)
    Q_PROPERTY(QVector3D position READ position WRITE setPosition NOTIFY positionChanged)
    Q_PROPERTY(QVector3D positionProjected READ positionProjected WRITE setPositionProjected NOTIFY positionProjectedChanged)
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY isVisibleChanged)
public:
    explicit Anchor2D(QQuickItem* parent = nullptr);
    ~Anchor2D() override;

    QVector3D position() const { return m_position; }
    void setPosition(const QVector3D& position);
    QVector3D positionProjected() const { return m_positionProjected; }
    void setPositionProjected(const QVector3D& positionProjected);
    bool isVisible() const { return m_isVisible; }

    void render(AbstractCamera* camera) override;
    AbstractTransform* getTransform() override { return ViewportInvalidater::transform(); }
    Mesh* getMesh() override { return nullptr; }

    // The projection rule: q = projection * view * model * position (with the divide);
    // visible when q lies inside [-1, 1] on all three axes; pixel = (w (q.x + 1) / 2,
    // h (1 - q.y) / 2, q.z).
    static QVector3D project(const QMatrix4x4& modelViewProjection, const QVector3D& position, float width, float height,
                             bool& visible);

signals:
    void positionChanged();
    void positionProjectedChanged();
    void isVisibleChanged();

protected:
    void componentComplete() override;

private:
    void deliverProjection(QVector3D projected, bool visible);

    QVector3D m_position;
    QVector3D m_positionProjected;
    bool m_isVisible = false;
    bool m_registered = false;
};

} // namespace KestrelQt3DEngine
