import QtQuick 2.15
import QtQuick.Controls 2.15

// A menu row with a label and a spin box; `value` follows the spin box.
MenuItem {
    id: item

    property alias label: label.text
    property alias from: spinBox.from
    property alias to: spinBox.to
    property alias stepSize: spinBox.stepSize
    property alias value: spinBox.value
    property alias spinBox: spinBox
    signal edited(int value)

    hoverEnabled: false
    implicitHeight: 56
    contentItem: Row {
        spacing: 16
        Label {
            id: label
            // One width for every row, so that the spin boxes line up.
            width: 150
            elide: Text.ElideRight
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: 16
        }
        SpinBox {
            id: spinBox
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: 16
            editable: true
            onValueModified: item.edited(value)
        }
    }
}
