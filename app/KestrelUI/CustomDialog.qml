import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Modal dialog with a toolbar title and a scrolling body; the body's items are its children.
Dialog {
    id: dialog

    default property alias body: flickable.body
    property alias flickable: flickable

    modal: true
    padding: 0
    width: parent ? Math.min(parent.width - 2 * KUIMetricConstants.dialogMargin, KUIMetricConstants.dialogMaximumWidth) : 400
    height: parent ? Math.min(parent.height - 2 * KUIMetricConstants.dialogMargin,
                              KUIMetricConstants.toolbarHeight + flickable.contentHeight + 2 * KUIMetricConstants.dialogMargin)
                   : 300
    x: parent ? (parent.width - width) / 2 : 0
    y: parent ? (parent.height - height) / 2 : 0

    header: Toolbar {
        title: dialog.title
        SquareToolbarButton {
            glyph: KUI.icons.close
            onClicked: dialog.reject()
        }
    }

    DialogFlickable {
        id: flickable
        anchors.fill: parent
        anchors.margins: KUIMetricConstants.dialogMargin
    }
}
