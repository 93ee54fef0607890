pragma Singleton
import QtQuick 2.15

// Colours and font sizes of the KUI components.
QtObject {
    readonly property color errorColor: "#d32f2f"
    readonly property color toolbarColor: "#3f51b5"
    readonly property color toolbarForeground: "#ffffff"
    readonly property color dialogBackground: "#fafafa"
    readonly property color secondaryText: "#757575"
    readonly property string fontFamily: "Roboto"
    readonly property int titleFontPixelSize: 20
    readonly property int bodyFontPixelSize: 14
    readonly property int captionFontPixelSize: 12
}
