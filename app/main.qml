import QtQuick 2.15
import "qrc:/MaterialDesignIcons/MaterialDesignIcons.js" as MaterialDesignIcons

// First main window: shows that the view, the context properties and the icon font work.
Rectangle {
    id: root

    property var icons: MaterialDesignIcons.icons

    width: 1280
    height: 800
    color: "#eceff1"

    FontLoader {
        id: iconFont
        source: "qrc:/MaterialDesignIcons/MaterialDesignIconsFont.ttf"
    }

    Column {
        anchors.centerIn: parent
        spacing: 16

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            font.family: iconFont.name
            font.pixelSize: 160
            color: "#3f51b5"
            text: root.icons.monitor_cellphone
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            color: "#263238"
            text: "OrbDebug"
        }
    }

    Component.onCompleted: window.title = "OrbDebug"
}
