#pragma once
// Reading line geometry back in the Tracking Debug tests.

#include <gtest/gtest.h>

#include <QColor>
#include <QString>
#include <QVector3D>

#include "engine/LinedMeshConstructor.h"

namespace TrackingDebugTest {

using KestrelQt3DEngine::LinedMeshConstructor;
using KestrelQt3DEngine::LinedVertex;

inline QVector3D position(const LinedVertex& vertex) {
    return QVector3D(vertex.position[0], vertex.position[1], vertex.position[2]);
}

inline QColor colour(const LinedVertex& vertex) {
    return QColor(vertex.color[0], vertex.color[1], vertex.color[2], vertex.color[3]);
}

// The number of vertices the stroke font gives `text` (the font itself is tested with the engine).
inline std::size_t labelVertices(const QString& text) {
    LinedMeshConstructor reference;
    reference.label(QVector3D(), text);
    return reference.vertices().size();
}

inline void expectAt(const LinedMeshConstructor& geometry, std::size_t index, QVector3D expected, float tolerance = 1e-5f) {
    ASSERT_LT(index, geometry.vertices().size());
    const QVector3D actual = position(geometry.vertices()[index]);
    EXPECT_NEAR(expected.x(), actual.x(), tolerance) << "vertex " << index;
    EXPECT_NEAR(expected.y(), actual.y(), tolerance) << "vertex " << index;
    EXPECT_NEAR(expected.z(), actual.z(), tolerance) << "vertex " << index;
}

inline void expectColour(const LinedMeshConstructor& geometry, std::size_t index, QColor expected) {
    ASSERT_LT(index, geometry.vertices().size());
    EXPECT_EQ(expected, colour(geometry.vertices()[index])) << "vertex " << index;
}

} // namespace TrackingDebugTest
