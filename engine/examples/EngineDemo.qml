import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports/Materials"

// A viewport with an orthographic camera, a small transform tree and a textured quad.
Item {
    id: root
    width: 800
    height: 600

    Viewport {
        id: viewport
        anchors.fill: parent
        clearColor: "#203040"
        renderOnDemand: true
        camera: camera

        Transform {
            OrtogonalCamera { id: camera }
        }

        OGLTexture {
            id: checker
            constructor: checker.newRgbaTextureConstructor()
                .setTextureSize(Qt.size(8, 8))
                .setData(root.checkerboard(8, 8))
        }

        Transform {
            id: spin
            localPosition: Qt.vector3d(-150, 0, 0)
            localRotation: Quaternion.fromAxisAndAngle(Qt.vector3d(0, 0, 1), 15)

            Transform {
                localPosition: Qt.vector3d(120, 60, 0)
                localScale: 0.5
                MeshRenderer {
                    mesh: Mesh {
                        id: quadMesh
                        constructor: quadMesh.newTriangledConstructor().quad(400, 400)
                    }
                    material: TextureMaterial { texture: checker; flipY: true }
                }
            }
        }
    }

    function checkerboard(w, h) {
        var data = []
        for (var y = 0; y < h; ++y)
            for (var x = 0; x < w; ++x) {
                var v = ((x + y) % 2) ? 1.0 : 0.2 + 0.1 * y
                data.push(v, v, v, 1.0)
            }
        return data
    }
}
