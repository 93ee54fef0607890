import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."

// Picks .orbrec files to open: starts in the data folder's "Recordings", walks folders, and
// opens every checked file (or a double-clicked one) through `replays`.
Popup {
    id: dialog

    property var replays: null
    property string folder: ""
    property var entries: []
    property var chosen: ({})

    function show() {
        var url = replays.folderUrl.toString();
        list(decodeURIComponent(url.replace(/^file:\/\//, "")));
        open();
    }
    function list(path) {
        folder = path;
        chosen = {};
        entries = replays.folderEntries(path);
    }
    function chosenPaths() {
        var paths = [];
        for (var p in chosen)
            if (chosen[p])
                paths.push(p);
        return paths;
    }
    function openPaths(paths) {
        if (paths.length > 0 && replays.open(paths) > 0 && replays.errorText === "")
            close();
    }

    modal: true
    anchors.centerIn: parent
    width: Math.min(parent.width - 64, 720)
    height: Math.min(parent.height - 64, 520)

    Column {
        anchors.fill: parent
        spacing: 8
        Label {
            text: "Open recordings"
            font.pixelSize: 18
        }
        Label {
            objectName: "dialogFolder"
            width: parent.width
            text: dialog.folder
            elide: Text.ElideMiddle
            opacity: 0.7
        }
        ListView {
            id: listView
            objectName: "dialogList"
            width: parent.width
            height: parent.height - 120
            clip: true
            model: dialog.entries
            delegate: ItemDelegate {
                width: listView.width
                height: 36
                highlighted: !modelData.folder && dialog.chosen[modelData.path] === true
                onClicked: {
                    if (modelData.folder) {
                        dialog.list(modelData.path);
                        return;
                    }
                    var c = dialog.chosen;
                    c[modelData.path] = !(c[modelData.path] === true);
                    dialog.chosen = c;
                    dialog.chosenChanged();
                }
                onDoubleClicked: if (!modelData.folder) dialog.openPaths([modelData.path])
                contentItem: Row {
                    spacing: 8
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        font.family: IconFont.family
                        font.pixelSize: 18
                        color: Material.accent
                        text: modelData.folder ? IconFont.icons.folder : IconFont.icons.file_video
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        font.pixelSize: 14
                        color: Material.foreground
                        textFormat: Text.PlainText
                        text: modelData.name
                    }
                }
            }
            ScrollBar.vertical: ScrollBar {}
        }
        Label {
            width: parent.width
            text: dialog.replays ? dialog.replays.errorText : ""
            color: Material.color(Material.Red)
            wrapMode: Text.Wrap
            visible: text !== ""
        }
        Row {
            spacing: 8
            anchors.right: parent.right
            Button {
                text: "Cancel"
                flat: true
                onClicked: dialog.close()
            }
            Button {
                objectName: "dialogOpen"
                text: "Open " + dialog.chosenPaths().length
                enabled: dialog.chosenPaths().length > 0
                highlighted: true
                onClicked: dialog.openPaths(dialog.chosenPaths())
            }
        }
    }
}
