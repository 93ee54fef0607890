import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports"
import "qrc:/OpenGlEngine/imports/Materials"
import "qrc:/OpenGlEngine/imports/Meshes"
import "qrc:/OpenGlEngine/imports/Objects"

// The engine's demo: on the left a 3D scene with an orbit camera (left drag orbits, right drag
// pans, the wheel zooms), on the right a 2D scene with a pan-and-zoom camera. The sphere and
// the textured quad are picking renderers: a press names the one under the cursor.
Item {
    id: root
    width: 1200
    height: 600

    Viewport {
        id: scene3d
        width: parent.width / 2
        height: parent.height
        clearColor: "#e8ecf0"
        renderOnDemand: true
        camera: perspective

        LookAtTransform {
            localPosition: orbit.cameraPosition
            targetPosition: orbit.targetPosition
            PerspectiveCamera { id: perspective; fieldOfView: orbit.cameraFieldOfView }
        }

        // The floor: a grid of the XY plane laid flat into XZ.
        Transform {
            localRotation: Quaternion.fromEulerAngles(90, 0, 0)
            Grid { stepsCountX: 10; stepsCountY: 10; stepSize: 0.5; minorSegmentCount: 5; color: Qt.rgba(0.2, 0.2, 0.3, 1) }
        }

        CoordinateSystem {}
        Transform {
            localPosition: Qt.vector3d(1.5, 0.5, 1.5)
            localRotation: Quaternion.fromAxisAndAngle(Qt.vector3d(0, 1, 0), 30)
            localScale: 0.6
            CoordinateSystem {}
        }

        Transform {
            localPosition: Qt.vector3d(-1.2, 0.7, 1)
            PickingMeshRenderer {
                objectName: "sphere"
                mesh: SphereMesh { radius: 0.7; xSegmentsCount: 32; ySegmentsCount: 32 }
                material: IlluminatedSolidColorMaterial { color: "#3070d0"; lightPosition: Qt.vector3d(2, 4, -3); cameraPosition: orbit.cameraPosition }
            }
        }

        MeshRenderer {
            mesh: Mesh {
                id: labels3d
                constructor: labels3d.newLinedConstructor()
                    .setCurrentColor("black").label(Qt.vector3d(1.05, 0, 0), "x")
                    .label(Qt.vector3d(0, 1.05, 0), "y").label(Qt.vector3d(0, 0, 1.05), "z")
                    .setCurrentColor("#a02020").label(Qt.vector3d(-1.2, 1.5, 1), "sphere r = 0.7")
                    .setCurrentColor("#206020").dot(Qt.vector3d(2, 0, -1), 6).label(Qt.vector3d(2, 0, -1), " dot (2, 0, -1)")
            }
            material: DefaultMaterials.vertexColorAlpha
        }

        CameraController {
            id: orbit
            cameraPosition: Qt.vector3d(2.5, 3, -6)
            targetPosition: Qt.vector3d(0, 0.5, 0)
        }
    }

    Viewport {
        id: scene2d
        x: parent.width / 2
        width: parent.width / 2
        height: parent.height
        clearColor: "#202830"
        renderOnDemand: true
        camera: orthographic

        Transform {
            localPosition: pan.cameraPosition
            localScale: pan.scale
            OrtogonalCamera { id: orthographic }
        }

        Grid { stepsCountX: 8; stepsCountY: 6; stepSize: 1; minorSegmentCount: 4; color: Qt.rgba(0.8, 0.8, 0.8, 1); minorGridColor: Qt.rgba(0.5, 0.5, 0.5, 0.6) }

        OGLTexture {
            id: checker
            constructor: checker.newRgbaTextureConstructor().setTextureSize(Qt.size(8, 8)).setData(root.checkerboard(8, 8))
        }
        Transform {
            localPosition: Qt.vector3d(-2, 1, 0)
            localRotation: Quaternion.fromAxisAndAngle(Qt.vector3d(0, 0, 1), 10)
            PickingMeshRenderer {
                objectName: "textured quad"
                mesh: QuadMesh { width: 1.8; height: 1.8 }
                material: TextureMaterial { texture: checker; flipY: true }
            }
        }

        MeshRenderer {
            mesh: Mesh {
                id: shapes
                constructor: shapes.newLinedConstructor()
                    .setCurrentColor("#ffcc40").circle(1.2, Qt.vector3d(2, 1, 0), Qt.vector3d(0, 0, 1))
                    .setCurrentColor("#40ccff").roundedRectangle(Qt.vector3d(1.5, -1.5, 0), 1.4, 0.6, 0.3, Qt.quaternion(1, 0, 0, 0))
                    .coordSyst(Qt.vector3d(-3.5, -2.5, 0), Qt.quaternion(1, 0, 0, 0), 1, 255)
                    .setCurrentColor("white").dot(Qt.vector3d(2, 1, 0), 5)
                    .label(Qt.vector3d(-3.8, 2.8, 0), "Hershey simplex: ABCDEFGHIJKLM\nnopqrstuvwxyz 0123456789 !?(){}")
                    .label(Qt.vector3d(1.5, -1.5, 0), "  zoom: wheel\n  pan: drag")
            }
            material: DefaultMaterials.vertexColorAlpha
        }

        CameraController2D {
            id: pan
            defaultWidth: 8.5
            defaultHeight: 6.5
        }
    }

    PickedLabel { viewport: scene3d; color: "black" }
    PickedLabel { viewport: scene2d; color: "white" }

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
