#include "engine/MeshRenderer.h"

#include "engine/AbstractCamera.h"
#include "engine/UniformLocations.h"
#include "engine/Viewport.h"

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QVector2D>

namespace KestrelQt3DEngine {

MeshRenderer::MeshRenderer(QObject* parent) : Container(parent) {}

MeshRenderer::~MeshRenderer() {
    unregister();
    detachFromParent();
}

void MeshRenderer::unregister() {
    Viewport* port = viewport();
    if (port && m_registered) {
        if (m_transparent)
            port->removeTransparentRenderable(this);
        else
            port->removeOpaqueRenderable(this);
    }
    m_registered = false;
}

QObject* MeshRenderer::meshObject() const { return m_mesh.data(); }

void MeshRenderer::setMeshObject(QObject* mesh) {
    auto* value = qobject_cast<Mesh*>(mesh);
    if (!value || value == m_mesh)
        return;
    m_mesh = value;
    emit meshChanged();
}

QObject* MeshRenderer::materialObject() const { return m_material.data(); }

void MeshRenderer::setMaterialObject(QObject* material) {
    auto* value = qobject_cast<Material*>(material);
    if (!value || value == m_material)
        return;
    m_material = value;
    emit materialChanged();
}

void MeshRenderer::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    invalidate();
    emit enabledChanged();
}

void MeshRenderer::processMeshMaterialUpdate() { invalidate(); }

void MeshRenderer::viewportDestroyed() {
    forgetViewport();
    m_registered = false;
}

// A moved transparent renderer may change the drawing order; the viewport sorts once before
// its next frame, however many renderers moved.
void MeshRenderer::onParentChanged(unsigned) {
    if (Viewport* port = viewport()) {
        if (m_transparent && m_registered)
            port->transparentOrderChanged();
    }
    invalidate();
}

void MeshRenderer::componentComplete() {
    attachToParent(parent());
    if (m_mesh)
        connect(m_mesh, &Mesh::meshUpdated, this, &MeshRenderer::processMeshMaterialUpdate);
    if (m_material)
        connect(m_material, &Material::propertiesChanged, this, &MeshRenderer::processMeshMaterialUpdate);
    if (Viewport* port = viewport()) {
        MaterialProperties* properties = m_material ? m_material->properties() : nullptr;
        if (properties)
            m_transparent = properties->blendState();
        if (m_transparent)
            port->addTransparentRenderable(this);
        else
            port->addOpaqueRenderable(this);
        m_registered = true;
        connect(port, &QObject::destroyed, this, &MeshRenderer::viewportDestroyed, Qt::DirectConnection);
        port->requestRepaint();
    }
    if (m_parent)
        m_parent->addObserver(this);
}

void MeshRenderer::render(AbstractCamera* camera) {
    if (!m_mesh || !m_material || !camera || !m_enabled)
        return;
    Shader* shader = m_material->shader();
    QOpenGLShaderProgram* program = shader ? shader->program() : nullptr;
    if (!program || !program->isLinked())
        return;
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    Viewport* port = viewport();
    QQuickWindow* window = port ? port->viewportWindow() : nullptr;
    program->bind();
    MaterialProperties* properties = m_material->properties();
    if (properties)
        properties->apply(program, gl, window);
    if (port)
        program->setUniformValue(UniformLocation::RenderTargerSize, QVector2D(float(port->width()), float(port->height())));
    const QMatrix4x4 model = transform() ? transform()->getMatrix() : QMatrix4x4();
    camera->bindUniforms(program, model);
    m_mesh->draw(program, window);
    if (properties)
        properties->restore();
    program->release();
}

} // namespace KestrelQt3DEngine
