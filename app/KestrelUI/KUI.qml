pragma Singleton
import QtQuick 2.15
import QtQuick.Window 2.15
import "qrc:/MaterialDesignIcons/MaterialDesignIcons.js" as MaterialDesignIcons

// Screen metrics and shared resources of the KUI fields.
QtObject {
    // Pixels per millimetre of the primary screen, and its inverse.
    readonly property real mmToPix: Qt.application.screens.length > 0 ? Qt.application.screens[0].pixelDensity : 1
    readonly property real pixToMm: 1 / mmToPix
    readonly property int fontPixelSize: 14
    readonly property var icons: MaterialDesignIcons.icons
    readonly property string iconFontFamily: iconFontLoader.name
    property FontLoader iconFontLoader: FontLoader {
        source: "qrc:/MaterialDesignIcons/MaterialDesignIconsFont.ttf"
    }
}
