import QtQuick 2.15
import OrbOpenGlEngine 1.0
import ".."
import "../Meshes"

MeshRenderer {
    property color color: Qt.rgba(0, 0, 0, 1)
    property int stepsCountX: 4
    property int stepsCountY: 4
    property real stepSize: 0.2
    property color minorGridColor: Qt.rgba(0, 0, 0, 0.5)
    property int minorSegmentCount: -1

    mesh: GridMesh {
        color: nativeParent.color
        stepsCountX: nativeParent.stepsCountX
        stepsCountY: nativeParent.stepsCountY
        stepSize: nativeParent.stepSize
        minorGridColor: nativeParent.minorGridColor
        minorSegmentsCount: nativeParent.minorSegmentCount
    }
    material: DefaultMaterials.vertexColorAlpha
}
