import QtQuick 2.15
import OrbOpenGlEngine 1.0

// Mouse control of a perspective camera under a LookAtTransform (bind its localPosition to
// cameraPosition and targetPosition to targetPosition): left drag orbits around the target,
// right drag pans, the wheel and a pinch change the distance.
Item {
    id: controller
    anchors.fill: parent

    property real defaultWidth: 640
    property real defaultHeight: 480
    property real cameraFieldOfView: 45
    property vector3d cameraPosition: Qt.vector3d(0, 0, -5)
    property vector3d targetPosition: Qt.vector3d(0, 0, 0)
    property vector3d cameraUp: Qt.vector3d(0, 1, 0)
    property bool isRightButtonPressed: false
    property bool isCameraFolowing: false
    readonly property real distance: targetPosition.minus(cameraPosition).length()
    // Pitch, yaw, roll of the orbit in degrees.
    readonly property alias eulerAngles: orbit.eulers

    readonly property real rotationFactor: 90 / 520

    signal pinchUpdated(var pinch)
    signal pressed(var mouse)
    signal released(var mouse)
    signal clicked(var mouse)
    signal dbClicked(var mouse)
    signal wheel(var wheel)
    signal positionChanged(var mouse)

    onTargetPositionChanged: orbit.anglesKnown = false

    QtObject {
        id: orbit
        property bool anglesKnown: false
        property vector3d eulers: Qt.vector3d(0, 0, 0)
        property real lastX: 0
        property real lastY: 0
    }

    function takeStartAngles() {
        var view = targetPosition.minus(cameraPosition).normalized()
        var up = Qt.vector3d(0, 1, 0)
        var q1 = Quaternion.rotationTo(Qt.vector3d(0, 0, 1), view)
        var right = view.crossProduct(up)
        var q2 = Quaternion.rotationTo(Quaternion.getRotatedVector(q1, up), right.crossProduct(view))
        var q = Quaternion.multiply(q2, q1)
        cameraUp = Quaternion.getRotatedVector(q, Qt.vector3d(0, 1, 0))
        orbit.eulers = Quaternion.toEulerAngles(q)
        orbit.anglesKnown = true
    }

    // Pitch is kept inside [-90, 90]; a yaw beyond a full turn starts again at 0.
    function rotateBy(dPitch, dYaw) {
        if (!orbit.anglesKnown)
            takeStartAngles()
        var pitch = Math.max(-90, Math.min(90, orbit.eulers.x + dPitch))
        var yaw = orbit.eulers.y + dYaw
        if (Math.abs(yaw) > 360)
            yaw = 0
        orbit.eulers = Qt.vector3d(pitch, yaw, orbit.eulers.z)
        placeCamera(distance)
    }

    function placeCamera(newDistance) {
        var toRadians = Math.PI / 180
        var s = Math.sin(-orbit.eulers.y * toRadians), c = Math.cos(-orbit.eulers.y * toRadians)
        var sp = Math.sin(orbit.eulers.x * toRadians), cp = Math.cos(orbit.eulers.x * toRadians)
        cameraUp = Qt.vector3d(sp * s, cp, sp * c)
        var forward = Qt.vector3d(-cp * s, -sp, cp * c)
        cameraPosition = targetPosition.minus(forward.times(newDistance))
    }

    function panBy(dx, dy) {
        var d = distance
        var tanHalf = Math.tan(cameraFieldOfView / 2 * Math.PI / 180)
        var moveX = dx * 2 / defaultWidth * d * tanHalf * (defaultWidth / defaultHeight)
        var moveY = dy * 2 / defaultHeight * d * tanHalf
        var view = targetPosition.minus(cameraPosition).normalized()
        var right = view.crossProduct(cameraUp)
        var shift = right.times(-moveX).minus(cameraUp.times(moveY))
        var target = targetPosition.plus(shift)
        // A pan moves camera and target alike and keeps the view direction, so the orbit
        // angles stay as they were: known ones stay valid, unknown ones are taken at the
        // next orbit from the view itself.
        var anglesKnown = orbit.anglesKnown
        cameraPosition = cameraPosition.plus(shift)
        targetPosition = target
        orbit.anglesKnown = anglesKnown
    }

    function zoomBy(factor) {
        var forward = targetPosition.minus(cameraPosition).normalized()
        cameraPosition = targetPosition.minus(forward.times(distance * factor))
    }

    PinchArea {
        anchors.fill: parent
        property point lastCenter
        onPinchStarted: lastCenter = pinch.center
        onPinchUpdated: {
            controller.zoomBy(pinch.previousScale / pinch.scale)
            controller.rotateBy((pinch.center.y - lastCenter.y) * controller.rotationFactor,
                                (pinch.center.x - lastCenter.x) * controller.rotationFactor)
            lastCenter = pinch.center
            controller.pinchUpdated(pinch)
        }

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onPressed: {
                orbit.lastX = mouse.x
                orbit.lastY = mouse.y
                controller.isRightButtonPressed = mouse.button === Qt.RightButton
                controller.pressed(mouse)
            }
            onReleased: {
                controller.isRightButtonPressed = false
                controller.released(mouse)
            }
            onClicked: controller.clicked(mouse)
            onDoubleClicked: controller.dbClicked(mouse)
            onPositionChanged: {
                if (pressedButtons & Qt.LeftButton)
                    controller.rotateBy((mouse.y - orbit.lastY) * controller.rotationFactor,
                                        (mouse.x - orbit.lastX) * controller.rotationFactor)
                else if ((pressedButtons & Qt.RightButton) && !controller.isCameraFolowing)
                    controller.panBy(orbit.lastX - mouse.x, orbit.lastY - mouse.y)
                orbit.lastX = mouse.x
                orbit.lastY = mouse.y
                controller.positionChanged(mouse)
            }
            onWheel: {
                var z = (wheel.modifiers & 0x08000000) ? wheel.angleDelta.x / 120 : wheel.angleDelta.y / 120
                controller.zoomBy(Math.pow(0.8, z))
                wheel.accepted = true
                controller.wheel(wheel)
            }
        }
    }
}
