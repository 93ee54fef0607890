pragma Singleton
import QtQuick 2.15
import "qrc:/MaterialDesignIcons/MaterialDesignIcons.js" as MaterialDesignIcons

// The icon glyph table and the icon font, loaded once for every item of the window.
QtObject {
    readonly property var icons: MaterialDesignIcons.icons
    readonly property string family: loader.name
    property FontLoader loader: FontLoader {
        source: "qrc:/MaterialDesignIcons/MaterialDesignIconsFont.ttf"
    }
}
