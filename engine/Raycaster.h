#pragma once
#include "engine/AbstractCamera.h"
#include "engine/Container.h"

#include <QList>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVector3D>

namespace KestrelQt3DEngine {

class IRenderable;
class Viewport;

// A ray through the scene from the camera under a mouse position.
struct Ray {
    QVector3D origin;
    QVector3D direction;  // unit length
};

// Casts the ray under the mouse against the triangle meshes of the viewport's opaque renderers
// and reports the renderers hit, in registration order.
class Raycaster : public Container, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(KestrelQt3DEngine::AbstractCamera* camera READ camera WRITE setCamera NOTIFY cameraChanged)
public:
    explicit Raycaster(QObject* parent = nullptr);

    AbstractCamera* camera() const { return m_camera.data(); }
    void setCamera(AbstractCamera* camera);

    // The ray under item pixel (x, y); false without viewport or camera.
    bool rayAt(qreal mouseX, qreal mouseY, Ray& ray) const;
    // Whether the renderable's triangle mesh, placed by its transform, is hit in front of the
    // ray origin.
    static bool hits(IRenderable* renderable, const Ray& ray);

    void classBegin() override {}
    void componentComplete() override;

public slots:
    void intersectMouse(qreal mouseX, qreal mouseY);

signals:
    void cameraChanged();
    void intersectedChanged(const QList<QObject*>& intersected);

private:
    QPointer<AbstractCamera> m_camera;
    QPointer<Viewport> m_viewport;
    QList<QObject*> m_intersected;
};

// Moeller-Trumbore: the distance t > 0 along the ray to triangle (a, b, c), if it is hit.
bool intersectTriangle(const Ray& ray, const QVector3D& a, const QVector3D& b, const QVector3D& c, float& t);

} // namespace KestrelQt3DEngine
