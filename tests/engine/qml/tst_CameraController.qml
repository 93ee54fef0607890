import QtQuick 2.15
import QtTest 1.15
import "qrc:/OpenGlEngine/imports"

// The controller's steps are called directly (see tst_CameraController2D.qml).
TestCase {
    name: "CameraController"
    width: 640
    height: 480
    when: windowShown

    CameraController { id: controller }

    function test_1_startsBehindTheTarget() {
        compare(controller.distance, 5)
    }

    function test_2_pitchIsClamped() {
        // 920 pixels down is far more than 90 degrees at 90 / 520 degrees a pixel.
        controller.rotateBy(460 * controller.rotationFactor, 0)
        controller.rotateBy(460 * controller.rotationFactor, 0)
        compare(controller.eulerAngles.x, 90)
        verify(Math.abs(controller.distance - 5) < 1e-4, controller.distance)
        // Straight above the target.
        verify(Math.abs(controller.cameraPosition.y - 5) < 1e-4, controller.cameraPosition)
        for (var i = 0; i < 3; ++i)
            controller.rotateBy(-460 * controller.rotationFactor, 0)
        compare(controller.eulerAngles.x, -90)
    }

    function test_3_yawWrapsAfterAFullTurn() {
        controller.rotateBy(0, 200)
        controller.rotateBy(0, 200)
        compare(controller.eulerAngles.y, 0)
    }

    function test_4_wheelScalesTheDistance() {
        var before = controller.distance
        controller.zoomBy(Math.pow(0.8, 1))
        verify(Math.abs(controller.distance - before * 0.8) < 1e-4, controller.distance)
        controller.zoomBy(Math.pow(0.8, -2))
        verify(Math.abs(controller.distance - before / 0.8) < 1e-4, controller.distance)
    }
}
