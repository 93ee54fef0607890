#pragma once
#include "engine/AttributeDescriptor.h"
#include "engine/OpenGlEngineObject.h"

class QOpenGLBuffer;

namespace KestrelQt3DEngine {

// Builds vertex (and index) arrays on the CPU for a Mesh to upload.
class BasicMeshConstructor : public OpenGlEngineObject {
    Q_OBJECT
    // Read when needed (no change signal): for scripts and tests that count what was built.
    Q_PROPERTY(int vertexCount READ vertexCount)
public:
    explicit BasicMeshConstructor(QObject* parent = nullptr);

    // Render thread: fills the (not yet created) index buffer; returns whether the mesh is indexed.
    virtual bool uploadIndices(QOpenGLBuffer& buffer) = 0;
    virtual const AttributeDescriptors& attributes() const = 0;
    virtual int vertexCount() const = 0;
    virtual int vertexSize() const = 0;
    // The first vertex, or null when there are none.
    virtual const void* vertexData() const = 0;
    virtual int indexCount() const = 0;
    virtual unsigned primitiveType() const = 0;
};

} // namespace KestrelQt3DEngine
