pragma Singleton
import QtQuick 2.15

// Sizes of the KUI dialogs and toolbars, in pixels.
QtObject {
    readonly property int toolbarHeight: 56
    readonly property int toolbarButtonSize: 56
    readonly property int dialogMargin: 24
    readonly property int dialogMaximumWidth: 640
    readonly property int fieldSpacing: 8
    readonly property int barHeight: 1
    readonly property int knobSize: 12
}
