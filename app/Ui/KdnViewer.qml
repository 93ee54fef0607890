import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."
import "Layout.js" as Layout

// The radial device tree. Polls the factory every 100 ms and rebuilds the tree when the
// network's update id changes; shows the factory's error text when there is no network.
Item {
    id: kdnViewer

    property var factory: null
    property var taskViewers: []
    property string autoRunViewerName: ""
    property int iconSize: 48
    property var nodes: []
    property var records: []
    property int lastUpdateId: -1
    property alias errorText: errorLabel.text
    property alias pollTimer: pollTimer
    property alias nodeItems: nodeRepeater

    signal nodeClicked(int node)
    signal createViewer(string viewerName, int node)

    function supports(node, entry) {
        return factory.isTaskSupported(node, entry.InterfaceId0, entry.InterfaceId1, entry.InterfaceId2,
                                       entry.InterfaceId3);
    }

    function supportedGlyphs(node) {
        var glyphs = [];
        for (var i = 0; i < taskViewers.length; ++i)
            if (supports(node, taskViewers[i]))
                glyphs.push(taskViewers[i].icon);
        return glyphs;
    }

    function reload() {
        var list = factory.getNodes();
        var handles = [];
        for (var i = 0; i < list.length; ++i)
            handles.push(list[i]);
        nodes = handles;
        records = Layout.treeLayout(handles, function (node) { return factory.getParent(node); }, iconSize);
    }

    // Without a network the update id stays -1 until a recording is opened.
    function poll() {
        var id = factory.getUpdateID();
        if (id !== lastUpdateId) {
            lastUpdateId = id;
            reload();
        }
    }

    // Starts the autorun viewer on the first node, in network order, that supports its task.
    function autoRun() {
        if (autoRunViewerName === "")
            return;
        var entry = null;
        for (var i = 0; i < taskViewers.length; ++i)
            if (taskViewers[i].viewerName === autoRunViewerName)
                entry = taskViewers[i];
        if (!entry)
            return;
        for (var n = 0; n < nodes.length; ++n) {
            if (supports(nodes[n], entry)) {
                createViewer(entry.viewerName, nodes[n]);
                return;
            }
        }
    }

    Timer {
        id: pollTimer
        interval: 100
        repeat: true
        running: kdnViewer.factory !== null
        triggeredOnStart: true
        onTriggered: kdnViewer.poll()
    }

    // Centred across the panel, below the root or, with nodes in the tree, at the panel's foot
    // (it scales about its centre: y is the top of its unscaled box).
    Label {
        id: errorLabel
        objectName: "treeErrorLabel"
        anchors.horizontalCenter: parent.horizontalCenter
        y: Layout.errorLabelTop(kdnViewer.height, kdnViewer.iconSize, scale * height, kdnViewer.nodes.length) +
           (scale - 1) * height / 2
        font.pixelSize: 14
        scale: Layout.errorLabelScale(kdnViewer.width, implicitWidth)
        visible: text !== ""
    }

    Repeater {
        id: nodeRepeater
        model: kdnViewer.records
        KdnNode {
            node: modelData.node
            offsetX: modelData.x
            offsetY: modelData.y
            centreX: kdnViewer.width / 2
            centreY: kdnViewer.height / 2
            iconSize: kdnViewer.iconSize
            glyphs: kdnViewer.supportedGlyphs(modelData.node)
            label: kdnViewer.factory.getNodeLabel(modelData.node)
            caption: modelData.node !== 0 && kdnViewer.factory.getParent(modelData.node) === 0 ? label : ""
            onClicked: kdnViewer.nodeClicked(node)
        }
    }

    Component.onCompleted: {
        errorLabel.text = factory.getErrorMessage();
        reload();
        autoRun();
    }
}
