import QtQuick 2.15
import QtQuick.Controls 2.15

// Scrolling body of a dialog: its children form a column that scrolls when taller than the view.
Flickable {
    id: flickable

    default property alias body: column.data
    property alias column: column

    clip: true
    contentWidth: width
    contentHeight: column.implicitHeight
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

    Column {
        id: column
        width: flickable.width
        spacing: 8
    }
}
