import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import Qt.labs.settings 1.1
import orb 1.0
import "Ui"
import "Ui/ViewerTable.js" as ViewerTable

// The main window: persistent settings, the table of task viewers, the device network factory,
// the viewer grid with its side and tree panels, the tasks menu and the bottom row.
Item {
    id: root

    property var icons: IconFont.icons
    property alias settings: settings
    property alias kdnFactory: kdnFactory
    property alias mainLayout: mainLayout
    property alias tasksMenu: tasksMenu
    property alias settingsMenu: settingsMenu
    property alias recorder: recorder
    property alias replays: replays
    // title, icon, viewerName and the four identifier parts of each viewer's task.
    property var taskViewers: ViewerTable.taskViewers(icons, viewerConstants)

    // The identifier parts published by a viewer's native type, or undefined while that type
    // is not registered (the table then uses the identifiers the viewers are known to run).
    function viewerConstants(typeName) {
        var types = {
            "TaskViewer_OrbTracking_Debug_cpp": function () { return TaskViewer_OrbTracking_Debug_cpp; },
            "TaskViewer_OrbTracking_MidSpace_cpp": function () { return TaskViewer_OrbTracking_MidSpace_cpp; },
            "TaskViewer_OrbTracking_GyroscopeLatency_cpp": function () {
                return TaskViewer_OrbTracking_GyroscopeLatency_cpp;
            },
            "TaskViewer_OrbDebug_Image_cpp": function () { return TaskViewer_OrbDebug_Image_cpp; },
            "TaskViewer_OrbTracking_SessionHealth_cpp": function () {
                return TaskViewer_OrbTracking_SessionHealth_cpp;
            }
        };
        try {
            return types[typeName]();
        } catch (e) {
            return undefined;
        }
    }

    width: 1280
    height: 800
    Material.accent: Material.Indigo

    Settings {
        id: settings
        property int x: 0
        property int y: 0
        property int width: 0
        property int height: 0
        property string autoRunViewerName: ""
        property int trackingDebugSectionID: 0
        property int viewersGridMaxColumns: 1
        property int viewersGridMaxRows: 1
        property int kdnWindowWidth: 50
    }

    KdnFactory {
        id: kdnFactory
    }

    // Created with the window, before any task starts, so that it sees every task.
    QExRecorder {
        id: recorder
    }

    // The open recordings, each a node of the device tree with its transport below the grid.
    QExReplays {
        id: replays
    }

    MainLayout {
        id: mainLayout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: transports.top
        settings: settings
        factory: kdnFactory
        taskViewers: root.taskViewers
        tasksMenu: tasksMenu
        settingsMenu: settingsMenu
    }

    Column {
        id: transports
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: bottomRow.top
        Repeater {
            model: replays.replays
            ReplayTransport {
                width: transports.width
                replay: modelData
                onCloseRequested: replays.close(node)
            }
        }
    }

    // Recordings dropped on the window are opened, several at once.
    DropArea {
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: {
            if (drop.hasUrls && replays.open(drop.urls) > 0)
                drop.accept();
        }
    }

    Rectangle {
        id: bottomRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 48
        color: Material.background

        Row {
            anchors.left: parent.left
            height: parent.height
            IconButton {
                objectName: "screenshotButton"
                height: parent.height
                glyph: root.icons.camera
                onClicked: {
                    var name = Qt.formatDateTime(new Date(), "MM_dd_hh_mm_ss_zzz");
                    QEx.captureWindowToFile(window, "Screenshots/" + name + ".png");
                }
            }
            IconButton {
                objectName: "openFolderButton"
                height: parent.height
                glyph: root.icons.folder_open
                onClicked: QEx.shellExecute()
            }
            IconButton {
                objectName: "recordButton"
                height: parent.height
                glyph: root.icons.record_rec
                Material.foreground: recorder.recording ? Material.color(Material.Red) : root.Material.foreground
                ToolTip.visible: hovered
                ToolTip.text: recorder.recording ? "Stop recording" : "Record every running task"
                onClicked: recorder.toggle()
            }
            IconButton {
                objectName: "openRecordingButton"
                height: parent.height
                glyph: root.icons.file_video
                ToolTip.visible: hovered
                ToolTip.text: "Open recordings"
                onClicked: recordingDialog.show()
            }
            Label {
                objectName: "replayError"
                anchors.verticalCenter: parent.verticalCenter
                leftPadding: 8
                visible: text !== "" && !recordingDialog.visible
                text: replays.errorText
                color: Material.color(Material.Red)
            }
            Label {
                objectName: "recordStatus"
                anchors.verticalCenter: parent.verticalCenter
                leftPadding: 8
                text: recorder.statusText
                color: recorder.recording ? Material.color(Material.Red) : Material.foreground
            }
        }
    }

    // Pop-ups do not inherit the root's accent.
    TasksMenu {
        id: tasksMenu
        Material.accent: root.Material.accent
        factory: kdnFactory
        taskViewers: root.taskViewers
        onTriggered: mainLayout.createTaskViewer(viewerName, node)
    }

    RecordingDialog {
        id: recordingDialog
        Material.accent: root.Material.accent
        replays: replays
    }

    SettingsMenu {
        id: settingsMenu
        Material.accent: root.Material.accent
        settings: settings
        taskViewers: root.taskViewers
    }

    // Restores the stored geometry, then stores every move and resize. A size never stored
    // (0 on a first start) keeps the window's own size instead of an empty window.
    Component.onCompleted: {
        window.title = "OrbDebug";
        window.x = settings.x;
        window.y = settings.y;
        if (settings.width > 0 && settings.height > 0) {
            window.width = settings.width;
            window.height = settings.height;
        }
        settings.x = Qt.binding(function () { return window.x; });
        settings.y = Qt.binding(function () { return window.y; });
        settings.width = Qt.binding(function () { return window.width; });
        settings.height = Qt.binding(function () { return window.height; });
    }
}
