import QtQuick 2.15
import QtQuick.Controls 2.15
import orb 1.0
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports"
import "qrc:/OpenGlEngine/imports/Materials"
import "qrc:/OpenGlEngine/imports/Objects"
import "qrc:/KestrelUI"
import "."

// The integrated gyroscope rotation between Begin and End, over the sample index.
TaskViewer {
    id: root
    cpp: cpp

    property real gridTime: 5
    property alias beginButton: beginButton
    property alias endButton: endButton
    property alias lagLabel: lagLabel
    property alias viewport: viewport

    TaskViewer_OrbTracking_GyroscopeLatency_cpp {
        id: cpp
        node: root.node
        onTermination: root.destroy()
        onEmitNewGeometry: {
            gyroscopeGraph.constructor = gyroscopeGeometry;
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

        Column {
            width: parent.width
            spacing: 4
            Button {
                id: beginButton
                width: parent.width
                height: 8 * KUI.mmToPix
                text: "Begin"
                onClicked: cpp.begin()
            }
            Button {
                id: endButton
                width: parent.width
                height: 8 * KUI.mmToPix
                text: "End"
                onClicked: cpp.end()
            }
            Label {
                id: lagLabel
                width: parent.width
                wrapMode: Text.WordWrap
                text: cpp.lagText
            }
            Label {
                width: parent.width
                wrapMode: Text.WordWrap
                visible: cpp.lagText !== ""
                color: "#DC5A00"
                text: "orange: optical turn (horizontal angle of the last ray, sign of the gyroscope)"
            }
        }
    }

    Viewport {
        id: viewport
        anchors.left: inspector.right
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        clearColor: Qt.rgba(1, 1, 1, 0)
        renderOnDemand: true
        camera: camera

        CameraController2D {
            id: cameraController
            scaleOnResize: true
            defaultWidth: 10
            defaultHeight: 90
        }

        Transform {
            localPosition: cameraController.cameraPosition
            localScale: cameraController.scale
            OrtogonalCamera {
                id: camera
                farPlane: 100
            }
        }

        MeshRenderer {
            mesh: Mesh { id: gyroscopeGraph }
            material: VertexColorMaterial {
                id: graphMaterial
                properties: graphMaterial.newMaterialProperties().setBlendState(true).setDepthMask(false)
            }
        }

        Transform {
            localPosition: Qt.vector3d(0.5 * root.gridTime, 0, 0)
            Grid {
                color: Qt.rgba(0, 0, 0, 0.5)
                stepsCountX: root.gridTime * 20
                stepsCountY: 2
                stepSize: 100
                material: DefaultMaterials.vertexColor
            }
        }
    }

    Timer {
        interval: 17
        repeat: true
        running: true
        onTriggered: cpp.tick()
    }
}
