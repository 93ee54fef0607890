#include "engine/PickingMeshRenderer.h"

#include "engine/AbstractCamera.h"
#include "engine/Shader.h"
#include "engine/Viewport.h"

#include <QOpenGLShaderProgram>

#include <atomic>

namespace KestrelQt3DEngine {

namespace {

std::atomic<unsigned> g_lastPickingId{0};

const char* const kPickingVertexShader =
    "attribute vec3 POSITION;\n"
    "uniform vec4 COLOR;\n"
    "uniform mat4 MVPMATRIX;\n"
    "varying vec4 vCOLOR;\n"
    "void main() {\n"
    "    gl_Position = MVPMATRIX * vec4(POSITION, 1.0);\n"
    "    vCOLOR = COLOR;\n"
    "}\n";

const char* const kPickingFragmentShader =
    "#ifdef GL_ES\n"
    "precision lowp int;\n"
    "precision highp float;\n"
    "#endif\n"
    "varying vec4 vCOLOR;\n"
    "void main() {\n"
    "    gl_FragColor = vCOLOR;\n"
    "}\n";

} // namespace

QColor PickingMeshRenderer::colorOfId(unsigned id) { return QColor(id & 0xFF, (id >> 8) & 0xFF, (id >> 16) & 0xFF, 255); }

PickingMeshRenderer::PickingMeshRenderer(QObject* parent)
    : MeshRenderer(parent),
      m_pickingId(int(++g_lastPickingId)),
      m_pickingColor(colorOfId(unsigned(m_pickingId))),
      m_pickingShader(new Shader(this)) {
    m_pickingShader->setVertexShaderCode(kPickingVertexShader);
    m_pickingShader->setFragmentShaderCode(kPickingFragmentShader);
}

PickingMeshRenderer::~PickingMeshRenderer() {
    if (Viewport* port = viewport(); port && m_inPickingList)
        port->removePickingRenderer(this);
}

void PickingMeshRenderer::componentComplete() {
    MeshRenderer::componentComplete();
    if (Viewport* port = viewport()) {
        port->addPickingRenderer(this);
        m_inPickingList = true;
    }
}

void PickingMeshRenderer::renderPicking(AbstractCamera* camera) {
    Mesh* mesh = getMesh();
    if (!mesh || !camera || !isEnabled())
        return;
    QOpenGLShaderProgram* program = m_pickingShader->program();
    if (!program || !program->isLinked())
        return;
    program->bind();
    program->setUniformValue("COLOR", m_pickingColor);
    camera->bindUniforms(program, transform() ? transform()->getMatrix() : QMatrix4x4());
    Viewport* port = viewport();
    mesh->draw(program, port ? port->viewportWindow() : nullptr);
    program->release();
}

} // namespace KestrelQt3DEngine
