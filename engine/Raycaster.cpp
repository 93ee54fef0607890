#include "engine/Raycaster.h"

#include "engine/IRenderable.h"
#include "engine/Mesh.h"
#include "engine/OrthogonalCamera.h"
#include "engine/Viewport.h"

#include <QVector4D>

#include <cmath>

namespace KestrelQt3DEngine {

Raycaster::Raycaster(QObject* parent) : Container(parent) {}

void Raycaster::setCamera(AbstractCamera* camera) {
    if (camera == m_camera)
        return;
    m_camera = camera;
    emit cameraChanged();
}

void Raycaster::componentComplete() { m_viewport = findViewport(parent()); }

// Perspective: through the far-plane point under the pixel, from the camera position.
// Orthographic: every pixel has its own origin on the camera plane and all rays run along the
// camera's +Z, so the ray starts at the pixel's world point instead.
bool Raycaster::rayAt(qreal mouseX, qreal mouseY, Ray& ray) const {
    AbstractCamera* camera = m_camera.data();
    if (!m_viewport || !camera || m_viewport->width() <= 0 || m_viewport->height() <= 0)
        return false;
    const QMatrix4x4 inverseView = camera->viewMatrix().inverted();
    if (qobject_cast<OrthogonalCamera*>(camera)) {
        ray.origin = camera->pixelToWorld(mouseX, mouseY);
        ray.direction = inverseView.mapVector(QVector3D(0, 0, 1)).normalized();
        return true;
    }
    const float ndcX = float(2.0 * mouseX / m_viewport->width() - 1.0);
    const float ndcY = float(1.0 - 2.0 * mouseY / m_viewport->height());
    QVector4D eye = camera->projectionMatrix().inverted() * QVector4D(ndcX, ndcY, 1, 1);
    eye = QVector4D(eye.x(), eye.y(), 1, 0);
    ray.direction = (inverseView * eye).toVector3D().normalized();
    AbstractTransform* transform = camera->transform();
    ray.origin = transform ? transform->getMatrix().column(3).toVector3D() : QVector3D();
    return true;
}

// With e1 = b - a, e2 = c - a, p = d x e2, det = e1 . p:
// u = (o - a) . p / det, v = d . ((o - a) x e1) / det, t = e2 . ((o - a) x e1) / det;
// a hit when u >= 0, v >= 0, u + v <= 1 and t > 0.
bool intersectTriangle(const Ray& ray, const QVector3D& a, const QVector3D& b, const QVector3D& c, float& t) {
    const QVector3D e1 = b - a, e2 = c - a;
    const QVector3D p = QVector3D::crossProduct(ray.direction, e2);
    const float det = QVector3D::dotProduct(e1, p);
    if (std::fabs(det) < 1e-12f)
        return false;
    const float inverse = 1.0f / det;
    const QVector3D s = ray.origin - a;
    const float u = QVector3D::dotProduct(s, p) * inverse;
    if (u < 0.0f || u > 1.0f)
        return false;
    const QVector3D q = QVector3D::crossProduct(s, e1);
    const float v = QVector3D::dotProduct(ray.direction, q) * inverse;
    if (v < 0.0f || u + v > 1.0f)
        return false;
    t = QVector3D::dotProduct(e2, q) * inverse;
    return t > 0.0f;
}

bool Raycaster::hits(IRenderable* renderable, const Ray& ray) {
    Mesh* mesh = renderable->getMesh();
    auto* triangles = mesh ? qobject_cast<TriangledMeshConstructor*>(mesh->meshConstructor()) : nullptr;
    if (!triangles)
        return false;
    AbstractTransform* transform = renderable->getTransform();
    const QMatrix4x4 model = transform ? transform->getMatrix() : QMatrix4x4();
    const auto& vertices = triangles->vertices();
    const auto& indices = triangles->indices();
    auto world = [&](size_t index) {
        const float* p = vertices[index].position;
        return model.map(QVector3D(p[0], p[1], p[2]));
    };
    const size_t corners = indices.empty() ? vertices.size() : indices.size();
    float t = 0;
    for (size_t i = 0; i + 2 < corners; i += 3) {
        size_t ia = i, ib = i + 1, ic = i + 2;
        if (!indices.empty()) {
            ia = indices[i];
            ib = indices[i + 1];
            ic = indices[i + 2];
            if (ia >= vertices.size() || ib >= vertices.size() || ic >= vertices.size())
                continue;
        }
        if (intersectTriangle(ray, world(ia), world(ib), world(ic), t))
            return true;
    }
    return false;
}

void Raycaster::intersectMouse(qreal mouseX, qreal mouseY) {
    Ray ray;
    if (!rayAt(mouseX, mouseY, ray))
        return;
    m_intersected.clear();
    m_intersected.reserve(m_viewport->opaqueRenderables().size());
    for (IRenderable* renderable : m_viewport->opaqueRenderables()) {
        if (hits(renderable, ray)) {
            if (auto* object = dynamic_cast<QObject*>(renderable))
                m_intersected.append(object);
        }
    }
    if (!m_intersected.isEmpty())
        emit intersectedChanged(m_intersected);
}

} // namespace KestrelQt3DEngine
