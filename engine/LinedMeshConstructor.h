#pragma once
#include "engine/BasicMeshConstructor.h"

#include <QColor>
#include <QQuaternion>
#include <QString>
#include <QVector3D>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace KestrelQt3DEngine {

// One end of a line segment: world position, screen offset (half-pixels) and colour.
struct LinedVertex {
    float position[3];
    float screenOffset[2];
    std::uint8_t color[4];
};
static_assert(sizeof(LinedVertex) == 24, "lined vertices are 24 bytes");

// Line geometry built by chainable calls: segments, rays, screen-sized dots, coordinate frames,
// curves and stroke-font text. Every two vertices form one segment.
class LinedMeshConstructor : public BasicMeshConstructor {
    Q_OBJECT
public:
    explicit LinedMeshConstructor(QObject* parent = nullptr);

    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* coordSyst(const QVector3D& position, const QQuaternion& rotation,
                                                                   qreal scale = 1.0, int alpha = 255);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* ray(const QVector3D& tip);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* dot(const QVector3D& position, qreal pixelSize = 5.0);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* label(const QVector3D& position, const QString& text);
    // Native text: ends at the first character 0 or the first byte of 128 or more.
    LinedMeshConstructor* label(const QVector3D& position, std::string_view text);
    LinedMeshConstructor* label(const QVector3D& position, const char* text) { return label(position, std::string_view(text)); }
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* line(const QVector3D& pointA, const QVector3D& pointB);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* line(const QVector3D& pointA, const QColor& colorA,
                                                              const QVector3D& pointB, const QColor& colorB);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* circle(qreal radius, const QVector3D& center = QVector3D(),
                                                                const QQuaternion& rotation = QQuaternion(0, 0, 0, 1));
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* circle(qreal radius, const QVector3D& center, const QVector3D& normal);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* arc(const QVector3D& center, qreal a, qreal b, qreal startAngle,
                                                             qreal spanAngle, const QQuaternion& rotation);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* ellipse(const QVector3D& center, qreal a, qreal b, const QQuaternion& rotation);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* roundedRectangle(const QVector3D& center, qreal a, qreal b, qreal radius,
                                                                          const QQuaternion& rotation);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* setCurrentColor(const QColor& color);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* setSegmentsCount(int segmentsCount);
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* clear();

    // Reserves room for vertexCount more vertices.
    void reserve(int vertexCount);
    const std::vector<LinedVertex>& vertices() const { return m_vertices; }
    QColor currentColor() const;
    int segmentsCount() const { return m_segmentsCount; }

    bool uploadIndices(QOpenGLBuffer&) override { return false; }
    const AttributeDescriptors& attributes() const override;
    int vertexCount() const override { return static_cast<int>(m_vertices.size()); }
    int vertexSize() const override { return sizeof(LinedVertex); }
    const void* vertexData() const override { return m_vertices.empty() ? nullptr : m_vertices.data(); }
    int indexCount() const override { return 0; }
    unsigned primitiveType() const override { return 0x0001; }  // GL_LINES

private:
    void addVertex(const QVector3D& position, float offsetX = 0.0f, float offsetY = 0.0f);
    void addVertex(const QVector3D& position, const std::uint8_t color[4]);
    // Segments between consecutive points f(0) ... f(count - 1), in the current colour.
    void polyline(int count, const std::function<QVector3D(int)>& point);

    std::vector<LinedVertex> m_vertices;
    std::uint8_t m_color[4] = {0, 0, 0, 255};
    int m_segmentsCount = 64;
};

} // namespace KestrelQt3DEngine

