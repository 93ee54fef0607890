import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."
import "Layout.js" as Layout

// The viewer grid with its scroll area, the side panel with the commands and the grid's scroll
// bar, and the slide-in device-tree panel at the right edge.
Item {
    id: mainLayout

    property var settings: null
    property var factory: null
    property var taskViewers: []
    property var tasksMenu: null
    property var settingsMenu: null
    property bool treeOpen: false
    property alias grid: grid
    property alias area: area
    property alias scrollBar: scrollBar
    property alias kdnViewer: kdnViewer
    property alias treePanel: treePanel
    property alias treeButton: treeButton
    readonly property var gridMetrics: Layout.gridLayout(grid.children.length, settings.viewersGridMaxColumns,
                                                         settings.viewersGridMaxRows, area.width, area.height)

    // Creates the viewer `viewerName` (a file of the Ui folder) for `node` in the grid.
    function createTaskViewer(viewerName, node) {
        var component = Qt.createComponent(viewerName);
        if (component.status !== Component.Ready) {
            console.log("component.status !== Component.Ready");
            if (component.status === Component.Error)
                console.log(component.errorString());
        }
        console.log("before component.createObject");
        var viewer = component.createObject(grid, { node: node });
        console.log("after component.createObject");
        return viewer;
    }

    function toggleTree() { treeOpen = !treeOpen; }

    Flickable {
        id: area
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: sidePanel.left
        clip: true
        contentWidth: width
        contentHeight: mainLayout.gridMetrics.contentHeight
        flickableDirection: Flickable.VerticalFlick
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: scrollBar

        Grid {
            id: grid
            property real cellWidth: mainLayout.gridMetrics.cellWidth
            property real cellHeight: mainLayout.gridMetrics.cellHeight
            columns: mainLayout.gridMetrics.columns
        }
    }

    Rectangle {
        id: sidePanel
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: treePanel.left
        width: 48
        color: Material.accent

        Column {
            id: topButtons
            anchors.top: parent.top
            width: parent.width

            IconButton {
                objectName: "autoRunButton"
                height: 48
                glyph: IconFont.icons.run_fast
                Material.foreground: "white"
                onClicked: kdnViewer.autoRun()
            }
            IconButton {
                id: treeButton
                objectName: "treeButton"
                height: 48
                glyph: IconFont.icons[Layout.treeButtonGlyph(kdnViewer.nodes.length)]
                Material.foreground: "white"
                ToolTip.visible: hovered
                ToolTip.text: "kdn viewer"
                onClicked: {
                    var count = kdnViewer.nodes.length;
                    if (count === 1) {
                        if (mainLayout.treeOpen)
                            mainLayout.treeOpen = false;
                        else
                            mainLayout.tasksMenu.show(kdnViewer.nodes[0]);
                    } else if (count > 1 || kdnViewer.errorText !== "") {
                        // Without a network the panel is still opened, so its error text can be read.
                        mainLayout.toggleTree();
                    }
                }
            }
        }

        ScrollBar {
            id: scrollBar
            anchors.top: topButtons.bottom
            anchors.bottom: settingsButton.top
            anchors.horizontalCenter: parent.horizontalCenter
            policy: ScrollBar.AsNeeded
            interactive: true
            snapMode: ScrollBar.SnapOnRelease
            stepSize: mainLayout.gridMetrics.scrollStep
        }

        IconButton {
            id: settingsButton
            objectName: "settingsButton"
            anchors.bottom: parent.bottom
            height: 48
            glyph: IconFont.icons.settings
            Material.foreground: "white"
            // Opens to the left of the side panel, its bottom at the button's bottom.
            onClicked: mainLayout.settingsMenu.popup(settingsButton, -mainLayout.settingsMenu.width,
                                                     settingsButton.height - mainLayout.settingsMenu.height)
        }
    }

    Item {
        id: treePanel
        // 0 closed, 1 open; only a change of the open state is animated, so a resize of the
        // window or a new width setting applies at once.
        property real openFraction: mainLayout.treeOpen ? 1 : 0
        Behavior on openFraction { NumberAnimation { duration: 200 } }

        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        width: Layout.treePanelWidth(mainLayout.width, mainLayout.settings.kdnWindowWidth, openFraction)
        visible: width > 0
        clip: true

        Rectangle {
            anchors.fill: parent
            color: Material.background
        }

        KdnViewer {
            id: kdnViewer
            // Laid out at the open width so that the tree does not move while the panel slides.
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            width: Layout.treePanelWidth(mainLayout.width, mainLayout.settings.kdnWindowWidth, 1)
            factory: mainLayout.factory
            taskViewers: mainLayout.taskViewers
            autoRunViewerName: mainLayout.settings.autoRunViewerName
            onNodeClicked: mainLayout.tasksMenu.show(node)
            onCreateViewer: mainLayout.createTaskViewer(viewerName, node)
        }
    }
}
