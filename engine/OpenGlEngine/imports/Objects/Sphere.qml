import QtQuick 2.15
import OrbOpenGlEngine 1.0
import ".."
import "../Meshes"

MeshRenderer {
    property int xSegmentsCount: 64
    property int ySegmentsCount: 64
    property real radius: 1.0

    mesh: SphereMesh {
        xSegmentsCount: nativeParent.xSegmentsCount
        ySegmentsCount: nativeParent.ySegmentsCount
        radius: nativeParent.radius
    }
    material: DefaultMaterials.solidColor
}
