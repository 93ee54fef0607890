import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// The settings menu: autorun viewer, device-tree panel width and the viewer grid limits.
Menu {
    id: settingsMenu

    property var settings: null
    property var taskViewers: []

    width: 360

    Menu {
        id: autoRunMenu
        title: "Autorun task viewer:"
        width: 512
        Material.accent: settingsMenu.Material.accent

        MenuItem {
            text: "none"
            font.pixelSize: 16
            checkable: true
            checked: settingsMenu.settings.autoRunViewerName === ""
            // A click toggles the item, which would replace the binding: set the setting and bind again.
            onTriggered: {
                settingsMenu.settings.autoRunViewerName = "";
                checked = Qt.binding(function () { return settingsMenu.settings.autoRunViewerName === ""; });
            }
        }
        Instantiator {
            model: settingsMenu.taskViewers
            MenuItem {
                text: modelData.title
                font.pixelSize: 16
                checkable: true
                checked: settingsMenu.settings.autoRunViewerName === modelData.viewerName
                onTriggered: {
                    settingsMenu.settings.autoRunViewerName = modelData.viewerName;
                    checked = Qt.binding(function () {
                        return settingsMenu.settings.autoRunViewerName === modelData.viewerName;
                    });
                }
            }
            onObjectAdded: autoRunMenu.insertItem(index + 1, object)
            onObjectRemoved: autoRunMenu.removeItem(object)
        }
    }

    SpinBoxMenuItem {
        objectName: "kdnWindowWidthItem"
        label: "Kdn window width"
        from: 10
        to: 90
        stepSize: 10
        value: settingsMenu.settings.kdnWindowWidth
        onEdited: settingsMenu.settings.kdnWindowWidth = value
    }

    MenuItem {
        text: "Viewers layout"
        font.pixelSize: 16
        enabled: false
    }
    SpinBoxMenuItem {
        objectName: "columnsItem"
        label: "Columns"
        from: 1
        to: 4
        value: settingsMenu.settings.viewersGridMaxColumns
        onEdited: settingsMenu.settings.viewersGridMaxColumns = value
    }
    SpinBoxMenuItem {
        objectName: "rowsItem"
        label: "Rows"
        from: 1
        to: 4
        value: settingsMenu.settings.viewersGridMaxRows
        onEdited: settingsMenu.settings.viewersGridMaxRows = value
    }
}
