import QtQuick 2.15
import QtQuick.Controls 2.15
import orb 1.0
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports"
import "qrc:/OpenGlEngine/imports/Objects"
import "qrc:/KestrelUI"
import "."

// Calibration aid: the last frame's blobs re-projected to the tracker's centre, their running
// average and spread, and the averaged turn rate, in the camera's normalised image plane.
TaskViewer {
    id: root
    cpp: cpp

    property alias controlsRepeater: controlsRepeater
    property alias viewport: viewport

    TaskViewer_OrbTracking_MidSpace_cpp {
        id: cpp
        node: root.node
        onTermination: root.destroy()
        onEmitNewGeometry: {
            mesh.constructor = geometry;
            viewport.update();
        }
    }

    Pane {
        id: inspector
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: 60 * KUI.mmToPix
        padding: 4

        // One checkbox per key of the native switches.
        function buildControls() {
            var count = Object.keys(cpp.controls).length;
            if (controlsRepeater.model !== count)
                controlsRepeater.model = count;
        }

        Column {
            width: parent.width
            spacing: 4
            Repeater {
                id: controlsRepeater
                model: 0
                KUICheckbox {
                    readonly property string key: Object.keys(cpp.controls)[index]
                    width: parent ? parent.width : 0
                    name: key
                    value: Boolean(cpp.controls[key])
                    onValueEdited: {
                        console.log("onValueEdited", key, value);
                        var copy = Object.assign({}, cpp.controls);
                        copy[key] = value;
                        cpp.controls = copy;
                    }
                }
            }
        }
    }

    Viewport {
        id: viewport
        anchors.left: inspector.right
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        // Unfiltered, as in the Tracking Debug viewer.
        smooth: false
        clearColor: Qt.rgba(1, 1, 1, 1)
        renderOnDemand: true
        camera: camera

        CameraController2D {
            id: cameraController
            scaleOnResize: true
            defaultWidth: 2 + 0.05
            defaultHeight: 2 + 0.05
        }

        Transform {
            localPosition: cameraController.cameraPosition
            localScale: cameraController.scale
            OrtogonalCamera {
                id: camera
                farPlane: 100
            }
        }

        Transform {
            localPosition: Qt.vector3d(0, 0, 0)
            Grid {
                color: Qt.rgba(0, 0, 0, 0.25)
                stepsCountX: 20
                stepsCountY: 20
                stepSize: 0.1
                material: DefaultMaterials.vertexColorAlpha
            }
            MeshRenderer {
                mesh: Mesh { id: mesh }
                material: DefaultMaterials.vertexColorAlpha
            }
        }
    }

    Timer {
        interval: 17
        repeat: true
        running: true
        onTriggered: {
            inspector.buildControls();
            cpp.tick();
        }
    }
}
