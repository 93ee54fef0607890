#include "engine/TriangledMeshConstructor.h"

#include "interface_contract/DebugLog.h"

#include <QFile>
#include <QOpenGLBuffer>

#include <tiny_obj_loader.h>

#include <cmath>

namespace KestrelQt3DEngine {

namespace {
constexpr double kPi = 3.141592653589793;
const char* const kWorkingCopy = "readingFile.txt";
} // namespace

TriangledMeshConstructor::TriangledMeshConstructor(QObject* parent) : BasicMeshConstructor(parent) {}

const AttributeDescriptors& TriangledMeshConstructor::attributes() const {
    static const AttributeDescriptors descriptors = makeAttributeDescriptors(
        {VertexAttribute::Position, VertexAttribute::Normal, VertexAttribute::TexCoord, VertexAttribute::Color});
    return descriptors;
}

void TriangledMeshConstructor::addVertex(const QVector3D& position, const QVector3D& normal, float s, float t, const QColor& color) {
    TriangledVertex vertex{{position.x(), position.y(), position.z()},
                           {normal.x(), normal.y(), normal.z()},
                           {s, t},
                           {std::uint8_t(color.red()), std::uint8_t(color.green()), std::uint8_t(color.blue()), std::uint8_t(color.alpha())}};
    m_vertices.push_back(vertex);
}

// Ring i at theta = i pi / (rings - 1), sector j at phi = j 2 pi / (sectors - 1);
// d = (cos phi sin theta, sin(theta - pi / 2), sin phi sin theta). Two triangles per quad of
// neighbouring rings and sectors. Sizes whose indices would not fit 16 bits build nothing.
TriangledMeshConstructor* TriangledMeshConstructor::sphere(qreal radius, int rings, int sectors, const QColor& color) {
    if (rings <= 0 || sectors <= 0 || qint64(rings) * sectors > 65536)
        return this;
    const double ringStep = rings > 1 ? kPi / (rings - 1) : 0.0;
    const double sectorStep = sectors > 1 ? 2.0 * kPi / (sectors - 1) : 0.0;
    m_vertices.reserve(m_vertices.size() + size_t(rings) * sectors);
    for (int i = 0; i < rings; ++i) {
        const double theta = i * ringStep;
        for (int j = 0; j < sectors; ++j) {
            const double phi = j * sectorStep;
            const QVector3D d(float(std::cos(phi) * std::sin(theta)), float(std::sin(theta - kPi / 2)), float(std::sin(phi) * std::sin(theta)));
            const float s = sectors > 1 ? float(j) / float(sectors - 1) : 0.0f;
            const float t = rings > 1 ? float(i) / float(rings - 1) : 0.0f;
            addVertex(float(radius) * d, d, s, t, color);
        }
    }
    for (int i = 0; i + 1 < rings; ++i) {
        for (int j = 0; j + 1 < sectors; ++j) {
            const int k = i * sectors + j;
            for (int index : {k + 1, k, k + sectors, k + sectors, k + sectors + 1, k + 1})
                m_indices.push_back(std::uint16_t(index));
        }
    }
    return this;
}

TriangledMeshConstructor* TriangledMeshConstructor::sphere(qreal radius, int rings, int sectors) {
    return sphere(radius, rings, sectors, m_defaultColor);
}

TriangledMeshConstructor* TriangledMeshConstructor::quad(qreal width, qreal height, const QColor& color) {
    const float w = float(width) / 2, h = float(height) / 2;
    const QVector3D normal(0, 0, 1);
    addVertex(QVector3D(-w, h, 0), normal, 0, 1, color);
    addVertex(QVector3D(w, h, 0), normal, 1, 1, color);
    addVertex(QVector3D(w, -h, 0), normal, 1, 0, color);
    addVertex(QVector3D(-w, -h, 0), normal, 0, 0, color);
    for (std::uint16_t index : {0, 1, 2, 2, 3, 0})
        m_indices.push_back(index);
    return this;
}

TriangledMeshConstructor* TriangledMeshConstructor::quad(qreal width, qreal height) { return quad(width, height, m_defaultColor); }

TriangledMeshConstructor* TriangledMeshConstructor::clear() {
    m_vertices.clear();
    m_indices.clear();
    return this;
}

TriangledMeshConstructor* TriangledMeshConstructor::loadMeshFromObjFile(const QString& objFileName) {
    // The reader wants a plain file, and the name may be a resource.
    QFile::remove(kWorkingCopy);
    if (!QFile::copy(objFileName, kWorkingCopy)) {
        Kestrel::logLine() << "Cannot read OBJ file " << objFileName.toStdString();
        return this;
    }
    QFile::setPermissions(kWorkingCopy, QFile::ReadOwner | QFile::WriteOwner);

    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning, error;
    const bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, kWorkingCopy, nullptr, true);
    if (!error.empty())
        Kestrel::logLine() << error;
    if (!ok)
        return this;

    const bool hasNormals = !attrib.normals.empty();
    const bool hasTexCoords = !attrib.texcoords.empty();
    auto component = [](const std::vector<tinyobj::real_t>& values, int index, int width, int k) {
        const size_t at = size_t(index) * width + k;
        return index >= 0 && at < values.size() ? float(values[at]) : 0.0f;
    };
    for (const tinyobj::shape_t& shape : shapes) {
        for (const tinyobj::index_t& index : shape.mesh.indices) {
            const QVector3D position(component(attrib.vertices, index.vertex_index, 3, 0), component(attrib.vertices, index.vertex_index, 3, 1),
                                     component(attrib.vertices, index.vertex_index, 3, 2));
            QVector3D normal;
            if (hasNormals)
                normal = QVector3D(component(attrib.normals, index.normal_index, 3, 0), component(attrib.normals, index.normal_index, 3, 1),
                                   component(attrib.normals, index.normal_index, 3, 2));
            float s = 0, t = 0;
            if (hasTexCoords) {
                s = component(attrib.texcoords, index.texcoord_index, 2, 0);
                t = component(attrib.texcoords, index.texcoord_index, 2, 1);
            }
            addVertex(position, normal, s, t, m_defaultColor);
        }
    }
    return this;
}

bool TriangledMeshConstructor::uploadIndices(QOpenGLBuffer& buffer) {
    if (m_indices.empty())
        return false;
    buffer.create();
    buffer.bind();
    buffer.setUsagePattern(QOpenGLBuffer::StaticDraw);
    buffer.allocate(m_indices.data(), int(m_indices.size() * sizeof(std::uint16_t)));
    buffer.release();
    return true;
}

} // namespace KestrelQt3DEngine
