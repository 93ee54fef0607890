import QtQuick 2.15
import QtTest 1.15
import "qrc:/OpenGlEngine/imports"

// The controller's steps are called directly: synthetic mouse events of Qt Quick Test do not
// reach items under Xvfb here (the C++ camera test drives the mouse wiring instead).
TestCase {
    name: "CameraController2D"
    width: 1280
    height: 960
    when: windowShown

    Item {
        id: host
        width: 1280
        height: 480
        CameraController2D { id: controller; defaultWidth: 640; defaultHeight: 480 }
    }

    function test_1_fitsTheDefaultRegion() {
        // 1280 x 480: the height limits, one world unit a pixel.
        compare(controller.scale, 1)
        host.height = 960
        compare(controller.scale, 0.5)
        host.height = 480
        compare(controller.scale, 1)
    }

    function test_2_fourNotchesHalveTheScale() {
        var before = controller.scale
        for (var i = 0; i < 4; ++i)
            controller.zoomByNotches(120 / 120, controller.width / 2, controller.height / 2)
        verify(Math.abs(controller.scale - before / 2) < 1e-9, controller.scale)
        // Zooming about the centre keeps the camera where it was.
        verify(controller.cameraPosition.x === 0 && controller.cameraPosition.y === 0)
    }

    function test_3_wheelKeepsThePointUnderTheCursor() {
        controller.cameraPosition = Qt.vector3d(0, 0, 0)
        var x = 1000, y = 100
        var worldBefore = Qt.vector3d(controller.cameraPosition.x + (x - controller.width / 2) * controller.scale,
                                      controller.cameraPosition.y + (controller.height / 2 - y) * controller.scale, 0)
        controller.zoomByNotches(-1, x, y)
        var worldAfter = Qt.vector3d(controller.cameraPosition.x + (x - controller.width / 2) * controller.scale,
                                     controller.cameraPosition.y + (controller.height / 2 - y) * controller.scale, 0)
        verify(Math.abs(worldAfter.x - worldBefore.x) < 1e-4 && Math.abs(worldAfter.y - worldBefore.y) < 1e-4,
               worldBefore + " " + worldAfter)
    }

    function test_4_dragPansAndRightDoubleClickResets() {
        controller.cameraPosition = Qt.vector3d(0, 0, 0)
        var scale = controller.scale
        controller.lastX = 600
        controller.lastY = 200
        controller.pan(500, 250)
        verify(Math.abs(controller.cameraPosition.x - 100 * scale) < 1e-4, controller.cameraPosition)
        verify(Math.abs(controller.cameraPosition.y - 50 * scale) < 1e-4, controller.cameraPosition)
        controller.reset()
        compare(controller.cameraPosition, Qt.vector3d(0, 0, 0))
        compare(controller.scale, 1)
    }
}
