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
        glyph: nodeItem.isRoot ? IconFont.icons.monitor_cellphone : ""
        text: nodeItem.isRoot ? glyph : String(nodeItem.node)
        font.family: nodeItem.isRoot ? IconFont.family : "Roboto"
        font.pixelSize: nodeItem.isRoot ? 0.4 * height : 0.3 * height
        Material.foreground: "white"
        onClicked: nodeItem.clicked(nodeItem.node)
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
