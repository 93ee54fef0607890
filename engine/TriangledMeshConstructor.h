#pragma once
#include "engine/BasicMeshConstructor.h"

#include <QColor>
#include <QString>
#include <QVector3D>

#include <cstdint>
#include <vector>

namespace KestrelQt3DEngine {

struct TriangledVertex {
    float position[3];
    float normal[3];
    float texCoord[2];
    std::uint8_t color[4];
};
static_assert(sizeof(TriangledVertex) == 36, "triangled vertices are 36 bytes");

// Triangle geometry: one shape at a time (indices count from 0), indexed with 16-bit indices
// when it has indices, else drawn as a plain triangle list.
class TriangledMeshConstructor : public BasicMeshConstructor {
    Q_OBJECT
public:
    explicit TriangledMeshConstructor(QObject* parent = nullptr);

    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* sphere(qreal radius, int rings, int sectors, const QColor& color);
    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* sphere(qreal radius = 1.0, int rings = 64, int sectors = 64);
    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* quad(qreal width, qreal height, const QColor& color);
    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* quad(qreal width = 2.0, qreal height = 2.0);
    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* clear();
    // Reads a Wavefront OBJ file (a resource path works too) through a working copy
    // "readingFile.txt" in the current directory; the reader's error text goes to the debug log.
    Q_INVOKABLE KestrelQt3DEngine::TriangledMeshConstructor* loadMeshFromObjFile(const QString& objFileName);

    const std::vector<TriangledVertex>& vertices() const { return m_vertices; }
    const std::vector<std::uint16_t>& indices() const { return m_indices; }

    bool uploadIndices(QOpenGLBuffer& buffer) override;
    const AttributeDescriptors& attributes() const override;
    int vertexCount() const override { return static_cast<int>(m_vertices.size()); }
    int vertexSize() const override { return sizeof(TriangledVertex); }
    const void* vertexData() const override { return m_vertices.empty() ? nullptr : m_vertices.data(); }
    int indexCount() const override { return static_cast<int>(m_indices.size()); }
    unsigned primitiveType() const override { return 0x0004; }  // GL_TRIANGLES

private:
    void addVertex(const QVector3D& position, const QVector3D& normal, float s, float t, const QColor& color);

    std::vector<TriangledVertex> m_vertices;
    std::vector<std::uint16_t> m_indices;
    QColor m_defaultColor = QColor(0, 0, 0, 255);
};

} // namespace KestrelQt3DEngine
