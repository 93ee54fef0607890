import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Square tool button showing one icon glyph.
ToolButton {
    property string glyph: KUI.icons.emoticon_poop

    width: height
    font.family: KUI.iconFontFamily
    font.pixelSize: 0.4 * height
    text: glyph
}
