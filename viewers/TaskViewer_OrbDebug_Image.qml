import QtQuick 2.15
import QtQuick.Controls 2.15
import orb 1.0
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports"
import "qrc:/OpenGlEngine/imports/Materials"
import "qrc:/OpenGlEngine/imports/Meshes"
import "qrc:/OpenGlEngine/imports/Objects"
import "qrc:/KestrelUI"
import "."

// The tracker's camera image and detected points, with exposure and pixel-threshold control.
TaskViewer {
    id: root
    cpp: cpp

    readonly property int imageWidth: TaskViewer_OrbDebug_Image_cpp.ImageWidth
    readonly property int imageHeight: TaskViewer_OrbDebug_Image_cpp.ImageHeight
    property alias expRows: expRows
    property alias expMs: expMs
    property alias pixelThreshold: pixelThreshold
    property alias autoImage: autoImage
    property alias autoPoints: autoPoints
    property alias errorLabel: errorLabel
    property alias viewport: viewport

    // A capture is asked at once and shown when the device has answered (onImageCaptured,
    // onPointsCaptured); until then the texture and the mesh keep what they hold, so that an
    // auto capture does not upload the same image again on every tick.
    function captureImage() {
        cpp.captureImage();
    }
    function capturePoints() {
        cpp.capturePoints();
    }
    // The stored threshold is -1 until the user sets one; the field stays empty until then.
    function thresholdFieldValue(threshold) {
        return threshold < 0 ? undefined : threshold;
    }

    TaskViewer_OrbDebug_Image_cpp {
        id: cpp
        node: root.node
        onTermination: root.destroy()
        onImageCaptured: {
            image.constructor = texture;
            viewport.update();
        }
        onPointsCaptured: {
            pointsMesh.constructor = geometry;
            viewport.update();
        }
        Component.onCompleted: pixelThreshold.value = root.thresholdFieldValue(cpp.getPixelThreshold())
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

            KUITextEdit {
                id: expRows
                width: parent.width
                name: "exp(rows)"
                type: "Integer"
                minValue: 1
                maxValue: 100
                value: 1
                onValueEdited: cpp.setExposure(value)
            }
            KUITextEdit {
                id: expMs
                width: parent.width
                name: "exp(ms)"
                type: "Double"
                readOnly: true
                value: cpp.exposureNativeToMs(expRows.value)
            }
            Button {
                width: parent.width
                height: 8 * KUI.mmToPix
                text: "Capture image"
                onClicked: root.captureImage()
            }
            KUICheckbox {
                id: autoImage
                width: parent.width
                name: "auto image"
                value: false
            }
            Button {
                width: parent.width
                height: 8 * KUI.mmToPix
                text: "Capture points"
                onClicked: root.capturePoints()
            }
            KUICheckbox {
                id: autoPoints
                width: parent.width
                name: "auto points"
                value: false
            }
            KUITextEdit {
                id: windowX
                width: parent.width
                name: "window.x"
                type: "Integer"
                minValue: 0
                maxValue: root.imageWidth
                value: 0
            }
            KUITextEdit {
                id: windowWidth
                width: parent.width
                name: "window.width"
                type: "Integer"
                minValue: 0
                maxValue: root.imageWidth
                value: root.imageWidth
            }
            KUITextEdit {
                id: windowY
                width: parent.width
                name: "window.y"
                type: "Integer"
                minValue: 0
                maxValue: root.imageHeight
                value: 0
            }
            KUITextEdit {
                id: windowHeight
                width: parent.width
                name: "window.height"
                type: "Integer"
                minValue: 0
                maxValue: root.imageHeight
                value: root.imageHeight
            }
            KUITextEdit {
                id: pixelThreshold
                width: parent.width
                name: "pixel threshold"
                type: "Integer"
                minValue: 0
                maxValue: 31
                onValueEdited: cpp.setPixelThreshold(value)
            }
            Label {
                id: errorLabel
                width: parent.width
                wrapMode: Text.Wrap
                color: "red"
                text: cpp.errorText
                visible: text !== ""
            }
        }
    }

    Timer {
        interval: 17
        repeat: true
        running: true
        onTriggered: {
            cpp.tick();
            if (autoImage.value)
                root.captureImage();
            if (autoPoints.value)
                root.capturePoints();
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
            scaleOnResize: false
            defaultWidth: root.imageWidth
            defaultHeight: root.imageHeight
        }

        Transform {
            localPosition: cameraController.cameraPosition
            localScale: cameraController.scale
            OrtogonalCamera {
                id: camera
                farPlane: 100
            }
        }

        OGLTexture {
            id: image
            minificationFilter: 0x2600   // GL_NEAREST
            magnificationFilter: 0x2600
        }

        MeshRenderer {
            mesh: QuadMesh {
                width: root.imageWidth
                height: root.imageHeight
            }
            material: TextureMaterial {
                texture: image
                flipY: true
            }
        }

        VertexColorMaterial {
            id: overlayMaterial
            properties: overlayMaterial.newMaterialProperties().setBlendState(true).setDepthMask(false)
        }

        // Image pixel coordinates, y down, onto the quad: a half turn about X at the top-left corner.
        Transform {
            localPosition: Qt.vector3d(-root.imageWidth / 2, root.imageHeight / 2, 0)
            localRotation: Qt.quaternion(0, 1, 0, 0)

            MeshRenderer {
                material: overlayMaterial
                mesh: Mesh {
                    id: windowMesh
                    readonly property var geometry: windowMesh.newLinedConstructor()
                    constructor: {
                        var x = windowX.value, y = windowY.value;
                        var w = windowWidth.value, h = windowHeight.value;
                        return geometry.clear().setCurrentColor("red")
                            .line(Qt.vector3d(x, y, 0), Qt.vector3d(x, y + h, 0))
                            .line(Qt.vector3d(x, y + h, 0), Qt.vector3d(x + w, y + h, 0))
                            .line(Qt.vector3d(x + w, y + h, 0), Qt.vector3d(x + w, y, 0))
                            .line(Qt.vector3d(x + w, y, 0), Qt.vector3d(x, y, 0));
                    }
                }
            }
            // Circles on pixel centres.
            Transform {
                localPosition: Qt.vector3d(-0.5, -0.5, 0)
                MeshRenderer {
                    material: overlayMaterial
                    mesh: Mesh { id: pointsMesh }
                }
            }
        }

        Grid {
            color: Qt.rgba(1, 1, 1, 0.05)
            stepsCountX: root.imageWidth
            stepsCountY: root.imageHeight
            stepSize: 1
            material: DefaultMaterials.vertexColorAlpha
            enabled: cameraController.scale <= 0.125
        }
        Grid {
            color: Qt.rgba(1, 1, 1, 0.05)
            stepsCountX: root.imageWidth / 32
            stepsCountY: root.imageHeight / 32
            stepSize: 32
            material: DefaultMaterials.vertexColorAlpha
        }
    }
}
