import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Materials"

// Unit axes from the origin: +X, +Y and +Z in their colours.
MeshRenderer {
    id: renderer
    property color xAxisColor: "red"
    property color yAxisColor: "green"
    property color zAxisColor: "blue"

    mesh: Mesh {
        id: axesMesh
        readonly property var geometry: axesMesh.newLinedConstructor()
        constructor: geometry.clear()
            .line(Qt.vector3d(0, 0, 0), renderer.xAxisColor, Qt.vector3d(1, 0, 0), renderer.xAxisColor)
            .line(Qt.vector3d(0, 0, 0), renderer.yAxisColor, Qt.vector3d(0, 1, 0), renderer.yAxisColor)
            .line(Qt.vector3d(0, 0, 0), renderer.zAxisColor, Qt.vector3d(0, 0, 1), renderer.zAxisColor)
    }
    material: VertexColorMaterial {}
}
