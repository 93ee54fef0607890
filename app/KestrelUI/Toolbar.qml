import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// A coloured bar with a title on the left and the buttons given as children on the right.
Rectangle {
    id: toolbar

    property alias title: titleLabel.text
    default property alias buttons: buttonRow.data

    height: KUIMetricConstants.toolbarHeight
    color: KUIStyleConstants.toolbarColor

    Label {
        id: titleLabel
        anchors.left: parent.left
        anchors.leftMargin: KUIMetricConstants.dialogMargin
        anchors.verticalCenter: parent.verticalCenter
        font.family: KUIStyleConstants.fontFamily
        font.pixelSize: KUIStyleConstants.titleFontPixelSize
        color: KUIStyleConstants.toolbarForeground
    }
    Row {
        id: buttonRow
        anchors.right: parent.right
        height: parent.height
    }
}
