import QtQuick 2.15
import QtQuick.Controls 2.15

// A menu built from `entries`, a list of {text, value}: choosing one emits chosen(value).
Menu {
    id: menu

    property var entries: []
    signal chosen(var value)

    Instantiator {
        model: menu.entries
        MenuItem {
            text: modelData.text
            onTriggered: menu.chosen(modelData.value)
        }
        onObjectAdded: menu.insertItem(index, object)
        onObjectRemoved: menu.removeItem(object)
    }
}
