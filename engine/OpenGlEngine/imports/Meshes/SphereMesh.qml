import QtQuick 2.15
import OrbOpenGlEngine 1.0

Mesh {
    id: mesh
    property int xSegmentsCount: 64
    property int ySegmentsCount: 64
    property real radius: 1.0
    // One constructor, rebuilt on each change.
    readonly property var geometry: mesh.newTriangledConstructor()
    constructor: geometry.clear().sphere(radius, xSegmentsCount, ySegmentsCount)
}
