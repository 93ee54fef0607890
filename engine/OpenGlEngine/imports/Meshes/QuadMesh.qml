import QtQuick 2.15
import OrbOpenGlEngine 1.0

// A width x height quad in the XY plane, facing +Z, texture coordinates 0..1.
Mesh {
    id: mesh
    property real width: 640
    property real height: 480
    readonly property var geometry: mesh.newTriangledConstructor()
    constructor: geometry.clear().quad(width, height)
}
