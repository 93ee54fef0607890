import QtQuick 2.15

// Names what the last press on a viewport picked, in its top-left corner.
Text {
    property Item viewport
    property string pickedName: "nothing"
    x: viewport.x + 8
    y: viewport.y + 6
    font.pixelSize: 14
    text: "Picked: " + pickedName

    Connections {
        target: viewport
        function onPicked(renderer) { pickedName = renderer ? renderer.objectName : "nothing" }
    }
}
