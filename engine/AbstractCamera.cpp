#include "engine/AbstractCamera.h"

#include "engine/UniformLocations.h"
#include "engine/Viewport.h"

#include <QOpenGLShaderProgram>

namespace KestrelQt3DEngine {

AbstractCamera::AbstractCamera(QObject* parent) : Container(parent) {}

AbstractCamera::~AbstractCamera() { detachFromParent(); }

void AbstractCamera::componentComplete() {
    attachToParent(parent());
    m_dirtyFlags = 0;
    if (Viewport* port = viewport()) {
        connect(port, &QQuickItem::widthChanged, this, &AbstractCamera::notifyUpdateProjection);
        connect(port, &QQuickItem::heightChanged, this, &AbstractCamera::notifyUpdateProjection);
        connect(port, &QObject::destroyed, this, &AbstractCamera::viewportDestroyed, Qt::DirectConnection);
    }
    if (m_parent)
        m_parent->addObserver(this);
}

void AbstractCamera::onParentChanged(unsigned flags) {
    m_dirtyFlags = flags;
    invalidate();
}

QMatrix4x4 AbstractCamera::viewMatrix() {
    if (m_parent && m_dirtyFlags) {
        m_view = m_parent->getMatrix().inverted();
        m_dirtyFlags = 0;
    }
    return m_view;
}

void AbstractCamera::setViewMatrix(const QMatrix4x4& viewMatrix) { m_view = viewMatrix; }
void AbstractCamera::setProjectionMatrix(const QMatrix4x4& projectionMatrix) { m_projection = projectionMatrix; }

void AbstractCamera::notifyUpdateProjection() { m_projectionDirty = true; }
void AbstractCamera::viewportDestroyed() { forgetViewport(); }

bool AbstractCamera::viewportSize(float& width, float& height) const {
    Viewport* port = viewport();
    if (!port)
        return false;
    width = static_cast<float>(port->width());
    height = static_cast<float>(port->height());
    return true;
}

void AbstractCamera::bindUniforms(QOpenGLShaderProgram* program, const QMatrix4x4& model) {
    const QMatrix4x4 view = viewMatrix();
    const QMatrix4x4 projection = projectionMatrix();
    const QMatrix4x4 viewProjection = projection * view;
    program->setUniformValue(UniformLocation::ViewMatrix, view);
    program->setUniformValue(UniformLocation::ProjectionMatrix, projection);
    program->setUniformValue(UniformLocation::ViewProjectionMatrix, viewProjection);
    program->setUniformValue(UniformLocation::ModelMatrix, model);
    program->setUniformValue(UniformLocation::ModelViewProjectionMatrix, viewProjection * model);
    // Shaders in the GLSL 1.x style (illuminated material, picking) cannot declare explicit
    // locations and name the same matrix MVPMATRIX; without it they would draw nothing.
    const int legacyLocation = program->uniformLocation("MVPMATRIX");
    if (legacyLocation >= 0)
        program->setUniformValue(legacyLocation, viewProjection * model);
}

} // namespace KestrelQt3DEngine
