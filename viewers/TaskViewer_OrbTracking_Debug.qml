import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15 as Style
import orb 1.0
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports"
import "qrc:/OpenGlEngine/imports/Materials"
import "qrc:/OpenGlEngine/imports/Objects"
import "."

// The host-side tracking pipeline of one tracker, page by page: the native object draws the
// chosen page into one line mesh and an HTML text every tick; the page choice is kept in the
// main window's settings (trackingDebugSectionID).
TaskViewer {
    id: root
    cpp: cpp

    property alias viewport: viewport
    property alias label: label
    property alias pageMenu: pageMenu
    property alias menuButton: menuButton

    TaskViewer_OrbTracking_Debug_cpp {
        id: cpp
        node: root.node
        section: settings.trackingDebugSectionID
        onTermination: root.destroy()
        onEmitNewGeometry: {
            worldSpaceGeomtry.constructor = geometry;
            viewport.update();
        }
        onEmitNewText: label.text = text
    }

    Timer {
        interval: 17
        repeat: true
        running: true
        onTriggered: cpp.tick()
    }

    Viewport {
        id: viewport
        anchors.fill: parent
        // The viewport clears with its colour premultiplied: a transparent white would come out
        // as (0, 0, 0, 0), a black page hiding the black grids, outline and text. Opaque white is
        // what shows, and the picture stays opaque (blended lines add to its alpha). Unfiltered:
        // at a fractional position in the grid of viewers, neighbouring pixels are not mixed.
        smooth: false
        clearColor: Qt.rgba(1, 1, 1, 1)
        renderOnDemand: true
        camera: camera

        CameraController {
            id: cameraController
            cameraFieldOfView: camera.fieldOfView
            defaultWidth: viewport.width
            defaultHeight: viewport.height
            cameraPosition: Qt.vector3d(0, 1.36, -4.7)
            targetPosition: Qt.vector3d(0, 1.36, 0)
        }

        LookAtTransform {
            localPosition: cameraController.cameraPosition
            targetPosition: cameraController.targetPosition
            PerspectiveCamera {
                id: camera
                fieldOfView: 48
                nearPlane: 0.01 * cameraController.distance
                farPlane: 100 * cameraController.distance
            }
        }

        // A millimetre grid at the point the camera orbits.
        Transform {
            localPosition: cameraController.targetPosition
            localRotation: Quaternion.fromEulerAngles(90, 0, 0)
            Grid {
                color: Qt.rgba(0, 0, 0, 0.5)
                stepsCountX: 8
                stepsCountY: 8
                stepSize: 0.001
                material: DefaultMaterials.vertexColorAlpha
            }
        }

        // The floor: metres and decimetres.
        Transform {
            localRotation: Quaternion.fromEulerAngles(90, 0, 0)
            Grid {
                color: Qt.rgba(0, 0, 0, 0.1)
                stepsCountX: 10
                stepsCountY: 10
                stepSize: 1
                material: DefaultMaterials.vertexColorAlpha
            }
            Grid {
                color: Qt.rgba(0, 0, 0, 0.05)
                stepsCountX: 100
                stepsCountY: 100
                stepSize: 0.1
                material: DefaultMaterials.vertexColorAlpha
            }
        }

        MeshRenderer {
            mesh: Mesh { id: worldSpaceGeomtry }
            material: DefaultMaterials.vertexColorAlpha
        }

        // The tracker's outline: lens rings at the front, the body and the back plate.
        Transform {
            MeshRenderer {
                mesh: Mesh {
                    id: trackerOutline
                    constructor: trackerOutline.newLinedConstructor()
                        .setCurrentColor(Qt.rgba(0, 0, 0, 0.4))
                        .circle(0.0046, Qt.vector3d(0, 0, 0.0198), Qt.quaternion(1, 0, 0, 0))
                        .circle(0.007, Qt.vector3d(0, 0, 0.0198), Qt.quaternion(1, 0, 0, 0))
                        .circle(0.007, Qt.vector3d(0, 0, 0.0165), Qt.quaternion(1, 0, 0, 0))
                        .roundedRectangle(Qt.vector3d(0, 0, 0.0164), 0.008, 0.008, 0.004, Qt.quaternion(1, 0, 0, 0))
                        .roundedRectangle(Qt.vector3d(0, 0, -0.0028), 0.008, 0.008, 0.004, Qt.quaternion(1, 0, 0, 0))
                }
                material: SolidColorMaterial { color: Qt.rgba(0, 0, 0, 0) }
            }
        }
    }

    IconButton {
        id: menuButton
        anchors.left: parent.left
        anchors.top: parent.top
        height: 48
        z: 1
        glyph: IconFont.icons.dots_vertical
        onClicked: pageMenu.popup(menuButton, 0, menuButton.height)
    }

    Menu {
        id: pageMenu
        Instantiator {
            model: cpp.sections
            MenuItem {
                text: modelData
                font.pixelSize: 16
                // The engine has a type named Material of its own: the style's is reached by its import name.
                Style.Material.foreground: index === cpp.section ? root.Style.Material.accent : root.Style.Material.foreground
                onTriggered: settings.trackingDebugSectionID = index
            }
            onObjectAdded: pageMenu.insertItem(index, object)
            onObjectRemoved: pageMenu.removeItem(object)
        }
    }

    Label {
        id: label
        anchors.left: parent.left
        anchors.top: menuButton.bottom
        anchors.margins: 8
        z: 1
        font.family: "Courier"
        // Rich text is laid out several times per text set and every layout shapes each
        // block anew; ASCII in a monospace font needs no shaping and looks the same without,
        // and the Optimization page's text set costs half as much.
        font.preferShaping: false
        textFormat: Text.RichText
    }
}
