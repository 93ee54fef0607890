#pragma once
#include <QByteArray>
#include <QVector>

#include <initializer_list>

namespace KestrelQt3DEngine {

// The vertex attributes the engine knows; shaders look each up by its fixed GLSL name.
enum class VertexAttribute { Position = 0, ScreenOffset = 1, Color = 2, Normal = 3, TexCoord = 4 };

struct AttributeDescriptor {
    QByteArray name;
    unsigned componentType = 0;  // GL_FLOAT or GL_UNSIGNED_BYTE
    int componentCount = 0;
    int offset = 0;              // bytes from the start of the vertex
    int stride = 0;              // bytes of one whole vertex
    bool normalized = false;
};

using AttributeDescriptors = QVector<AttributeDescriptor>;

// Descriptors of an interleaved vertex holding the attributes in the given order.
AttributeDescriptors makeAttributeDescriptors(std::initializer_list<VertexAttribute> attributes);

} // namespace KestrelQt3DEngine
