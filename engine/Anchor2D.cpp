#include "engine/Anchor2D.h"

#include "engine/AbstractCamera.h"
#include "engine/Viewport.h"

#include <QVector4D>

namespace KestrelQt3DEngine {

Anchor2D::Anchor2D(QQuickItem* parent) : QQuickItem(parent) {}

// An anchor destroyed before its viewport leaves the renderable list.
Anchor2D::~Anchor2D() {
    if (Viewport* port = viewport(); port && m_registered)
        port->removeOpaqueRenderable(this);
    detachFromParent();
}

void Anchor2D::componentComplete() {
    QQuickItem::componentComplete();
    attachToParent(parent());
    if (m_parent)
        m_parent->addObserver(this);
    if (Viewport* port = viewport()) {
        setParentItem(port);
        port->addOpaqueRenderable(this);
        m_registered = true;
        port->requestRepaint();
    }
}

void Anchor2D::setPosition(const QVector3D& position) {
    if (position == m_position)
        return;
    m_position = position;
    emit positionChanged();
    invalidate();
}

void Anchor2D::setPositionProjected(const QVector3D& positionProjected) {
    if (positionProjected == m_positionProjected)
        return;
    m_positionProjected = positionProjected;
    emit positionProjectedChanged();
}

QVector3D Anchor2D::project(const QMatrix4x4& modelViewProjection, const QVector3D& position, float width, float height,
                            bool& visible) {
    const QVector4D clip = modelViewProjection * QVector4D(position, 1.0f);
    const QVector3D q = clip.toVector3D() / clip.w();
    // A point behind a perspective camera has w < 0; its divided coordinates may still land
    // inside the cube, so it is tested apart.
    visible = clip.w() > 0.0f && q.x() >= -1 && q.x() <= 1 && q.y() >= -1 && q.y() <= 1 && q.z() >= -1 && q.z() <= 1;
    return QVector3D(width * (q.x() + 1.0f) * 0.5f, height * (1.0f - q.y()) * 0.5f, q.z());
}

void Anchor2D::render(AbstractCamera* camera) {
    Viewport* port = viewport();
    if (!camera || !ViewportInvalidater::transform() || !port)
        return;
    const QMatrix4x4 mvp = camera->projectionMatrix() * camera->viewMatrix() * ViewportInvalidater::transform()->getMatrix();
    bool visible = false;
    const QVector3D projected = project(mvp, m_position, float(port->width()), float(port->height()), visible);
    QMetaObject::invokeMethod(this, [this, projected, visible] { deliverProjection(projected, visible); }, Qt::QueuedConnection);
}

void Anchor2D::deliverProjection(QVector3D projected, bool visible) {
    m_isVisible = visible;
    emit isVisibleChanged();
    m_positionProjected = projected;
    emit positionProjectedChanged();
}

} // namespace KestrelQt3DEngine
