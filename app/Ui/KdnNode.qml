import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."
import "Layout.js" as Layout

// One node of the device tree, centred on (centreX + offsetX, centreY + offsetY): an accent disc
// with the node's button, the glyphs of the tasks it supports around it, and for every node but
// the root a short line pointing back toward the tree centre.
Item {
    id: nodeItem

    property int node: 0
    property real offsetX: 0
    property real offsetY: 0
    property real centreX: 0
    property real centreY: 0
    property int iconSize: 48
    property var glyphs: []
    // Shown instead of the handle when not empty (a recording's nodes); `caption` goes under the
    // disc (a recording's file name on its root, which shows the recording glyph).
    property string label: ""
    property string caption: ""
    readonly property bool isRoot: node === 0
    signal clicked(int node)

    x: centreX + offsetX
    y: centreY + offsetY
    width: 0
    height: 0

    Item {
        visible: !nodeItem.isRoot
        rotation: Layout.lineRotation(nodeItem.offsetX, nodeItem.offsetY)
        Rectangle {
            x: 0.5 * nodeItem.iconSize
            y: -0.5
            width: 0.5 * nodeItem.iconSize
            height: 1
            color: Qt.rgba(0.5 * (Material.background.r + 0.5), 0.5 * (Material.background.g + 0.5),
                           0.5 * (Material.background.b + 0.5), 1)
        }
    }

    Rectangle {
        id: disc
        x: -width / 2
        y: -height / 2
        width: nodeItem.iconSize
        height: nodeItem.iconSize
        radius: width / 2
        color: Material.accent
    }

    IconButton {
        id: button
        objectName: "nodeButton" + nodeItem.node
        x: -width / 2
        y: -height / 2
        height: nodeItem.iconSize
        padding: 0
        readonly property bool iconic: nodeItem.isRoot || nodeItem.caption !== ""
        glyph: nodeItem.isRoot ? IconFont.icons.monitor_cellphone : nodeItem.caption !== "" ? IconFont.icons.file_video : ""
        text: iconic ? glyph : nodeItem.label !== "" ? nodeItem.label : String(nodeItem.node)
        font.family: iconic ? IconFont.family : "Roboto"
        font.pixelSize: iconic ? 0.4 * height : 0.3 * height
        Material.foreground: "white"
        onClicked: nodeItem.clicked(nodeItem.node)
    }

    Label {
        objectName: "nodeCaption" + nodeItem.node
        visible: nodeItem.caption !== ""
        x: -width / 2
        y: 0.5 * nodeItem.iconSize + 2
        text: nodeItem.caption
        font.pixelSize: 12
    }

    Repeater {
        model: nodeItem.glyphs
        Text {
            readonly property var offset: Layout.taskGlyphOffset(index, nodeItem.glyphs.length, nodeItem.iconSize)
            x: offset.x - width / 2
            y: offset.y - height / 2
            font.family: IconFont.family
            font.pixelSize: 0.3 * nodeItem.iconSize
            color: Material.accent
            text: modelData
        }
    }
}
