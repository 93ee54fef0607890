import QtQuick 2.15
import QtQuick.Controls 2.15

// Pop-up menu of the viewers whose task a node supports.
Menu {
    id: tasksMenu

    property var factory: null
    property var taskViewers: []
    property int node: 0
    property var entries: []

    signal triggered(string viewerName, int node)

    // Keeps `node`, lists the viewers it supports and opens the menu at the pointer.
    function show(node) {
        tasksMenu.node = node;
        entries = taskViewers.filter(function (entry) {
            return factory.isTaskSupported(node, entry.InterfaceId0, entry.InterfaceId1, entry.InterfaceId2,
                                           entry.InterfaceId3);
        });
        popup();
    }

    Instantiator {
        model: tasksMenu.entries
        MenuItem {
            text: modelData.title
            font.pixelSize: 16
            onTriggered: tasksMenu.triggered(modelData.viewerName, tasksMenu.node)
        }
        onObjectAdded: tasksMenu.insertItem(index, object)
        onObjectRemoved: tasksMenu.removeItem(object)
    }
}
