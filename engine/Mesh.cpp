#include "engine/Mesh.h"

#include "engine/RenderJobs.h"
#include "engine/ScriptOwnedParts.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QQuickWindow>

namespace KestrelQt3DEngine {

Mesh::Mesh(QObject* parent) : Container(parent) {}

// Destroyed on the GUI thread: the buffers go to the render thread, where their context is.
Mesh::~Mesh() {
    std::vector<QOpenGLBuffer> buffers;
    if (m_vertexBuffer.isCreated())
        buffers.push_back(m_vertexBuffer);
    if (m_indexBuffer.isCreated())
        buffers.push_back(m_indexBuffer);
    if (buffers.empty())
        return;
    if (m_window) {
        scheduleAfterRendering(*m_window, new DeleteBuffersTask(std::move(buffers)));
    } else {
        DeleteBuffersTask task(std::move(buffers));
        if (QOpenGLContext::currentContext())
            task.run();
    }
}

void Mesh::setMeshConstructor(BasicMeshConstructor* constructor) {
    if (constructor != m_constructor) {
        releaseReplacedPart(this, m_constructor.data());
        adoptPart(this, constructor);
    }
    m_constructor = constructor;
    m_needsUpload = true;
    emit meshUpdated();
}

TriangledMeshConstructor* Mesh::newTriangledConstructor() { return new TriangledMeshConstructor(this); }
LinedMeshConstructor* Mesh::newLinedConstructor() { return new LinedMeshConstructor(this); }

bool Mesh::uploadVertices(BasicMeshConstructor& constructor) {
    if (constructor.attributes().isEmpty() || !constructor.vertexData())
        return false;
    if (m_vertexBuffer.isCreated())
        m_vertexBuffer.destroy();
    m_vertexBuffer.create();
    m_vertexBuffer.bind();
    m_vertexBuffer.setUsagePattern(QOpenGLBuffer::StaticDraw);
    m_vertexBuffer.allocate(constructor.vertexData(), constructor.vertexCount() * constructor.vertexSize());
    m_vertexBuffer.release();
    m_uploadedVertexCount = constructor.vertexCount();
    return true;
}

void Mesh::draw(QOpenGLShaderProgram* program, QQuickWindow* window) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    BasicMeshConstructor* constructor = m_constructor.data();
    if (!context || !constructor)
        return;
    if (window)
        m_window = window;
    if (m_needsUpload) {
        m_uploadFailed = !uploadVertices(*constructor);
        if (m_indexBuffer.isCreated())
            m_indexBuffer.destroy();
        m_indexed = constructor->uploadIndices(m_indexBuffer);
        m_uploadedIndexCount = m_indexed ? constructor->indexCount() : 0;
        m_needsUpload = false;
    }
    if (m_uploadFailed)
        return;

    QOpenGLFunctions* gl = context->functions();
    QVarLengthArray<int, 8> enabled;
    m_vertexBuffer.bind();
    for (const AttributeDescriptor& attribute : constructor->attributes()) {
        const int location = program->attributeLocation(attribute.name);
        if (location < 0)
            continue;
        program->enableAttributeArray(location);
        gl->glVertexAttribPointer(GLuint(location), attribute.componentCount, attribute.componentType,
                                  attribute.normalized ? GL_TRUE : GL_FALSE, attribute.stride,
                                  reinterpret_cast<const void*>(qintptr(attribute.offset)));
        enabled.append(location);
    }
    m_vertexBuffer.release();

    // The counts of the last upload: the constructor may have grown since without being
    // assigned again, and drawing past the buffers would read outside them.
    const GLenum primitive = constructor->primitiveType();
    if (m_indexed) {
        m_indexBuffer.bind();
        gl->glDrawElements(primitive, m_uploadedIndexCount, GL_UNSIGNED_SHORT, nullptr);
        m_indexBuffer.release();
    } else {
        gl->glDrawArrays(primitive, 0, m_uploadedVertexCount);
    }
    // The painter that hosts the native drawing keeps its own attribute state.
    for (int location : enabled)
        program->disableAttributeArray(location);
}

} // namespace KestrelQt3DEngine
