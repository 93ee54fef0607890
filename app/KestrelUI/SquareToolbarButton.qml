import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import "."

// Icon button of a toolbar: square, the toolbar's height, in the toolbar's foreground colour.
KUIIconButton {
    height: KUIMetricConstants.toolbarButtonSize
    Material.foreground: KUIStyleConstants.toolbarForeground
}
