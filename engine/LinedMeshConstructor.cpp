#include "engine/LinedMeshConstructor.h"

#include "engine/HersheySimplexFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace KestrelQt3DEngine {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr float kLineFeed = 34.0f;  // font units from one text line to the next
constexpr int kTabSpaces = 4;

} // namespace

LinedMeshConstructor::LinedMeshConstructor(QObject* parent) : BasicMeshConstructor(parent) {}

const AttributeDescriptors& LinedMeshConstructor::attributes() const {
    static const AttributeDescriptors descriptors =
        makeAttributeDescriptors({VertexAttribute::Position, VertexAttribute::ScreenOffset, VertexAttribute::Color});
    return descriptors;
}

void LinedMeshConstructor::addVertex(const QVector3D& position, float offsetX, float offsetY) {
    LinedVertex vertex{{position.x(), position.y(), position.z()}, {offsetX, offsetY}, {m_color[0], m_color[1], m_color[2], m_color[3]}};
    m_vertices.push_back(vertex);
}

void LinedMeshConstructor::addVertex(const QVector3D& position, const std::uint8_t color[4]) {
    LinedVertex vertex{{position.x(), position.y(), position.z()}, {0.0f, 0.0f}, {color[0], color[1], color[2], color[3]}};
    m_vertices.push_back(vertex);
}

void LinedMeshConstructor::reserve(int vertexCount) { m_vertices.reserve(m_vertices.size() + std::max(0, vertexCount)); }

void LinedMeshConstructor::polyline(int count, const std::function<QVector3D(int)>& point) {
    if (count <= 1)
        return;
    reserve(2 * count);
    QVector3D previous = point(0);
    for (int i = 1; i < count; ++i) {
        const QVector3D current = point(i);
        addVertex(previous);
        addVertex(current);
        previous = current;
    }
}

QColor LinedMeshConstructor::currentColor() const { return QColor(m_color[0], m_color[1], m_color[2], m_color[3]); }

LinedMeshConstructor* LinedMeshConstructor::setCurrentColor(const QColor& color) {
    m_color[0] = static_cast<std::uint8_t>(color.red());
    m_color[1] = static_cast<std::uint8_t>(color.green());
    m_color[2] = static_cast<std::uint8_t>(color.blue());
    m_color[3] = static_cast<std::uint8_t>(color.alpha());
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::setSegmentsCount(int segmentsCount) {
    m_segmentsCount = segmentsCount;
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::clear() {
    m_vertices.clear();
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::line(const QVector3D& pointA, const QVector3D& pointB) {
    addVertex(pointA);
    addVertex(pointB);
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::line(const QVector3D& pointA, const QColor& colorA, const QVector3D& pointB,
                                                 const QColor& colorB) {
    const std::uint8_t a[4] = {std::uint8_t(colorA.red()), std::uint8_t(colorA.green()), std::uint8_t(colorA.blue()), std::uint8_t(colorA.alpha())};
    const std::uint8_t b[4] = {std::uint8_t(colorB.red()), std::uint8_t(colorB.green()), std::uint8_t(colorB.blue()), std::uint8_t(colorB.alpha())};
    addVertex(pointA, a);
    addVertex(pointB, b);
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::ray(const QVector3D& tip) { return line(QVector3D(), tip); }

// A screen-aligned plus sign: all four ends at the point, spread only by screen offsets, so
// its size in pixels does not depend on the distance.
LinedMeshConstructor* LinedMeshConstructor::dot(const QVector3D& position, qreal pixelSize) {
    const float s = static_cast<float>(pixelSize);
    addVertex(position, s, 0.0f);
    addVertex(position, -s, 0.0f);
    addVertex(position, 0.0f, s);
    addVertex(position, 0.0f, -s);
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::coordSyst(const QVector3D& position, const QQuaternion& rotation, qreal scale, int alpha) {
    std::uint8_t saved[4];
    std::memcpy(saved, m_color, sizeof saved);
    const float s = static_cast<float>(scale);
    const QVector3D axes[3] = {QVector3D(s, 0, 0), QVector3D(0, s, 0), QVector3D(0, 0, s)};
    for (int axis = 0; axis < 3; ++axis) {
        m_color[0] = axis == 0 ? 255 : 0;
        m_color[1] = axis == 1 ? 255 : 0;
        m_color[2] = axis == 2 ? 255 : 0;
        m_color[3] = static_cast<std::uint8_t>(alpha);
        line(position, position + rotation.rotatedVector(axes[axis]));
    }
    std::memcpy(m_color, saved, sizeof saved);
    return this;
}

// f(i) = c + rotation * (r cos phi, r sin phi, 0), phi = 2 pi i / segments
LinedMeshConstructor* LinedMeshConstructor::circle(qreal radius, const QVector3D& center, const QQuaternion& rotation) {
    const int segments = m_segmentsCount;
    polyline(segments + 1, [&](int i) {
        const double phi = kTwoPi * i / segments;
        return center + rotation.rotatedVector(QVector3D(float(radius * std::cos(phi)), float(radius * std::sin(phi)), 0.0f));
    });
    return this;
}

// The circle in the plane perpendicular to normal, spanned by u and v:
// f(i) = c + u r cos phi + v r sin phi. A normal along Y (either way) has no cross product
// with Y, so its plane is spanned from X instead.
LinedMeshConstructor* LinedMeshConstructor::circle(qreal radius, const QVector3D& center, const QVector3D& normal) {
    QVector3D u, v;
    const QVector3D fromY = QVector3D::crossProduct(QVector3D(0, 1, 0), normal);
    if ((normal.x() == 0.0f && normal.z() == 0.0f) || fromY.isNull()) {
        v = QVector3D::crossProduct(normal, QVector3D(1, 0, 0)).normalized();
        u = QVector3D::crossProduct(v, normal).normalized();
    } else {
        u = fromY.normalized();
        v = QVector3D::crossProduct(normal, u).normalized();
    }
    const int segments = m_segmentsCount;
    polyline(segments + 1, [&](int i) {
        const double phi = kTwoPi * i / segments;
        return center + u * float(radius * std::cos(phi)) + v * float(radius * std::sin(phi));
    });
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::ellipse(const QVector3D& center, qreal a, qreal b, const QQuaternion& rotation) {
    const int segments = m_segmentsCount;
    polyline(segments + 1, [&](int i) {
        const double phi = kTwoPi * i / segments;
        return center + rotation.rotatedVector(QVector3D(float(a * std::cos(phi)), float(b * std::sin(phi)), 0.0f));
    });
    return this;
}

// theta = start + span / segments * i, in radians
LinedMeshConstructor* LinedMeshConstructor::arc(const QVector3D& center, qreal a, qreal b, qreal startAngle, qreal spanAngle,
                                                const QQuaternion& rotation) {
    const int segments = m_segmentsCount;
    const float start = float(startAngle);
    const float step = float(spanAngle) / float(segments);
    polyline(segments + 1, [&](int i) {
        const float theta = start + step * float(i);
        return center + rotation.rotatedVector(QVector3D(float(a) * std::cos(theta), float(b) * std::sin(theta), 0.0f));
    });
    return this;
}

// a, b: half-extents along local X and Y; r: corner radius. Four straight sides, then the four
// quarter arcs, counter-clockwise from the corner at +X +Y.
LinedMeshConstructor* LinedMeshConstructor::roundedRectangle(const QVector3D& center, qreal a, qreal b, qreal radius,
                                                             const QQuaternion& rotation) {
    const float ha = float(a), hb = float(b), r = float(radius);
    auto at = [&](float x, float y) { return center + rotation.rotatedVector(QVector3D(x, y, 0.0f)); };
    line(at(r - ha, -hb), at(ha - r, -hb));
    line(at(ha - r, hb), at(r - ha, hb));
    line(at(ha, hb - r), at(ha, r - hb));
    line(at(-ha, hb - r), at(-ha, r - hb));
    const float halfPi = float(kTwoPi / 4.0);
    const float corners[4][3] = {
        {ha - r, hb - r, 0.0f}, {r - ha, hb - r, halfPi}, {r - ha, r - hb, 2.0f * halfPi}, {ha - r, r - hb, 3.0f * halfPi}};
    const int segments = m_segmentsCount;
    for (const auto& corner : corners) {
        polyline(segments + 1, [&](int i) {
            const float theta = corner[2] + halfPi / float(segments) * float(i);
            return at(corner[0] + r * std::cos(theta), corner[1] + r * std::sin(theta));
        });
    }
    return this;
}

LinedMeshConstructor* LinedMeshConstructor::label(const QVector3D& position, const QString& text) {
    const QByteArray latin1 = text.toLatin1();
    return label(position, std::string_view(latin1.constData(), static_cast<size_t>(latin1.size())));
}

// Every vertex sits at the position; the glyph strokes are screen offsets from the pen, which
// starts at (0, 0) and moves right by each advance and down a line at each line feed.
LinedMeshConstructor* LinedMeshConstructor::label(const QVector3D& position, std::string_view text) {
    float penX = 0.0f, penY = 0.0f;
    for (char character : text) {
        const auto code = static_cast<unsigned char>(character);
        if (code == 0 || code >= 128)
            break;
        if (code == '\n') {
            penX = 0.0f;
            penY -= kLineFeed;
            continue;
        }
        if (code == '\t') {
            penX += kTabSpaces * hersheySimplexGlyph(' ').advance;
            continue;
        }
        const HersheyGlyph glyph = hersheySimplexGlyph(code);
        if (!glyph.points)
            continue;
        for (int k = 1; k < glyph.pointCount; ++k) {
            const signed char* from = glyph.points + 2 * (k - 1);
            const signed char* to = glyph.points + 2 * k;
            if ((from[0] == -1 && from[1] == -1) || (to[0] == -1 && to[1] == -1))
                continue;
            addVertex(position, penX + from[0], penY + from[1]);
            addVertex(position, penX + to[0], penY + to[1]);
        }
        penX += glyph.advance;
    }
    return this;
}

} // namespace KestrelQt3DEngine
