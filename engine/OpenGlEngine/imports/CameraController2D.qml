import QtQuick 2.15

// Mouse control of an orthographic camera: drag pans, the wheel zooms by 2^(1/4) a notch
// around the cursor, a pinch zooms and pans, a right double click resets. Bind the camera's
// transform to it: localPosition: cameraPosition, localScale: scale (world units per pixel).
// With scaleOnResize the default region (defaultWidth x defaultHeight) always fits the item.
Item {
    id: controller
    anchors.fill: parent

    property real scale: 1.0
    property vector3d cameraPosition: Qt.vector3d(0, 0, 0)
    property bool scaleOnResize: true
    property real defaultWidth: 1.0
    property real defaultHeight: 1.0
    property real minScale: 0.003
    property real maxScale: 1 / xyScale
    property alias mouseAreaPreventStealing: mouseArea.preventStealing

    readonly property real xScale: width / defaultWidth
    readonly property real yScale: height / defaultHeight
    readonly property real xyScale: Math.min(xScale, yScale) || 1

    property real lastXYScale: 1
    property real lastScale: 1
    property int intScale: 0
    property real lastX: 0
    property real lastY: 0

    signal pinchUpdated(var pinch)
    signal pressed(var mouse)
    signal released(var mouse)
    signal clicked(var mouse)
    signal dbClicked(var mouse)
    signal wheel(var wheel)
    signal positionChanged(var mouse)

    onXyScaleChanged: fit()
    Component.onCompleted: fit()

    function fit() {
        if (!scaleOnResize || xyScale === lastXYScale)
            return
        scale *= lastXYScale / xyScale
        lastScale = scale
        lastXYScale = xyScale
        intScale = Math.round(Math.log(1 / scale) / Math.LN2 * 4)
    }

    // Moves the camera so that the world point under item point (x, y) stays where it is
    // after the scale changed from lastScale.
    function keepPointFixed(x, y) {
        var p = Qt.vector3d(x - width / 2, height / 2 - y, cameraPosition.z)
        cameraPosition = cameraPosition.plus(p.times(lastScale / scale).minus(p).times(scale))
        lastScale = scale
    }

    function pan(x, y) {
        cameraPosition = cameraPosition.plus(Qt.vector3d((lastX - x) * scale, -(lastY - y) * scale, 0))
        lastX = x
        lastY = y
    }

    function zoomByNotches(notches, x, y) {
        intScale += Math.round(notches)
        scale = 1 / Math.pow(2, intScale / 4)
        keepPointFixed(x, y)
    }

    function reset() {
        cameraPosition = Qt.vector3d(0, 0, 0)
        scale = scaleOnResize ? 1 / xyScale : 1
        lastScale = scale
        lastXYScale = xyScale
        intScale = Math.round(Math.log(1 / scale) / Math.LN2 * 4)
    }

    PinchArea {
        anchors.fill: parent
        property point lastCenter
        onPinchStarted: lastCenter = pinch.center
        onPinchUpdated: {
            controller.scale *= pinch.previousScale / pinch.scale
            controller.keepPointFixed(pinch.center.x, pinch.center.y)
            controller.lastX = lastCenter.x
            controller.lastY = lastCenter.y
            controller.pan(pinch.center.x, pinch.center.y)
            lastCenter = pinch.center
            controller.pinchUpdated(pinch)
        }

        MouseArea {
            id: mouseArea
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
            onPressed: {
                controller.lastX = mouse.x
                controller.lastY = mouse.y
                controller.pressed(mouse)
            }
            onReleased: controller.released(mouse)
            onClicked: controller.clicked(mouse)
            onDoubleClicked: {
                if (mouse.button === Qt.RightButton)
                    controller.reset()
                controller.dbClicked(mouse)
            }
            onPositionChanged: {
                if (pressedButtons)
                    controller.pan(mouse.x, mouse.y)
                controller.positionChanged(mouse)
            }
            onWheel: {
                controller.zoomByNotches(wheel.angleDelta.y / 120, wheel.x, wheel.y)
                controller.wheel(wheel)
            }
        }
    }
}
