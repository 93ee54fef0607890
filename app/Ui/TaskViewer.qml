import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Base of every task viewer: one cell of the viewer grid with a close button above the content.
// A concrete viewer sets `cpp` to its native object, binds cpp.node to `node`, destroys itself
// on cpp's termination signal and ticks cpp every 17 ms.
Item {
    id: viewer

    property int node: 0
    property var cpp: null
    property alias closeButton: closeButton

    width: parent && parent.cellWidth !== undefined ? parent.cellWidth : 0
    height: parent && parent.cellHeight !== undefined ? parent.cellHeight : 0

    IconButton {
        id: closeButton
        anchors.top: parent.top
        anchors.right: parent.right
        height: 48
        z: 1
        glyph: IconFont.icons.close
        onClicked: if (viewer.cpp) viewer.cpp.requestTermination()
    }
}
