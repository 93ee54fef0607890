import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."

// Base of the KUI fields: the label `name` and a content slot in a row, over a 1-pixel bar. The
// bar is red when `highlighted`, the primary colour while the field has focus, else a grey
// derived from the background. A focused field is raised above its neighbours.
FocusScope {
    id: edit

    property string name: "Name"
    property var value
    property bool readOnly: false
    property bool highlighted: false
    property alias bar: bar
    property alias label: label
    property bool barFocused: false
    readonly property bool focused: activeFocus || barFocused
    default property alias content: slot.data

    signal valueEdited(var value)

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight + bar.height
    z: focused ? 1 : 0

    Row {
        id: row
        width: parent.width
        spacing: KUIMetricConstants.fieldSpacing
        Label {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            text: edit.name
            font.family: "Roboto"
            font.pixelSize: KUI.fontPixelSize
        }
        Item {
            id: slot
            width: Math.max(0, row.width - label.width - row.spacing)
            height: childrenRect.height
            implicitHeight: childrenRect.height
        }
    }

    Rectangle {
        id: bar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: row.bottom
        height: KUIMetricConstants.barHeight
        color: edit.highlighted ? "red"
             : edit.focused ? Material.primary
             : Qt.rgba(0.3 * (Material.background.r + 0.5), 0.3 * (Material.background.g + 0.5),
                       0.3 * (Material.background.b + 0.5), 1)
    }
}
