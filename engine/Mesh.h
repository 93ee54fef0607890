#pragma once
#include "engine/BasicMeshConstructor.h"
#include "engine/Container.h"
#include "engine/LinedMeshConstructor.h"
#include "engine/TriangledMeshConstructor.h"

#include <QOpenGLBuffer>
#include <QPointer>

class QOpenGLShaderProgram;
#include <QQuickWindow>

namespace KestrelQt3DEngine {

// Owns the OpenGL buffers of one constructor's geometry and uploads it after `constructor` is
// written. The buffers are released on the render thread of the window that last drew them.
class Mesh : public Container {
    Q_OBJECT
    Q_PROPERTY(KestrelQt3DEngine::BasicMeshConstructor* constructor READ meshConstructor WRITE setMeshConstructor NOTIFY meshUpdated)
public:
    explicit Mesh(QObject* parent = nullptr);
    ~Mesh() override;

    BasicMeshConstructor* meshConstructor() const { return m_constructor.data(); }
    // Writing, even the same pointer again, makes the next draw upload the geometry.
    void setMeshConstructor(BasicMeshConstructor* constructor);

    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* newTriangledConstructor();
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* newLinedConstructor();

    // Render thread, program bound: uploads if needed and draws. window is the one whose render
    // thread owns the buffers.
    void draw(QOpenGLShaderProgram* program, QQuickWindow* window);

    bool needsUpload() const { return m_needsUpload; }
    bool uploadFailed() const { return m_uploadFailed; }

signals:
    void meshUpdated();

private:
    bool uploadVertices(BasicMeshConstructor& constructor);

    QPointer<BasicMeshConstructor> m_constructor;
    QOpenGLBuffer m_vertexBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_indexBuffer{QOpenGLBuffer::IndexBuffer};
    QPointer<QQuickWindow> m_window;
    bool m_needsUpload = false;
    bool m_uploadFailed = false;
    bool m_indexed = false;
    int m_uploadedVertexCount = 0;
    int m_uploadedIndexCount = 0;
};

} // namespace KestrelQt3DEngine
