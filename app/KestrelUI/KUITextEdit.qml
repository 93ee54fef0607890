import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."
import "TextEditLogic.js" as Logic

// Text field for an Integer, Double or String value, with an optional suffix. With a numeric
// value and minValue < maxValue a knob on the bar edits the value within the range. User
// changes (typing, knob) emit valueEdited; a change of `value` from outside only rewrites the
// text and the knob. `changeSource` tells whose change is being applied so that the field's
// own updates do not loop back.
KUIEdit {
    id: field

    property string type: "Double"
    property string suffix: ""
    property real minValue: 0
    property real maxValue: 0
    property int maximumDecimalDigits: 4
    readonly property bool rangeEditing: Logic.rangeEditing(value, minValue, maxValue, type)
    readonly property bool outsideRange: Logic.outsideRange(value, minValue, maxValue, type)
    property string changeSource: ""
    property alias input: input
    property alias knob: knob
    property alias knobArea: knobArea

    barFocused: knobArea.pressed

    function rewriteText() {
        input.text = Logic.textFromValue(value, type, maximumDecimalDigits);
    }

    // Applies a value the user made; `source` is "user" (typing) or "slider" (knob).
    function applyEdit(newValue, source) {
        changeSource = source;
        value = newValue;
        if (source === "slider")
            rewriteText();
        changeSource = "";
        valueEdited(value);
    }

    function moveKnobTo(pixelX) {
        if (!rangeEditing || readOnly)
            return;
        var position = Math.min(1, Math.max(0, pixelX / field.bar.width));
        applyEdit(Logic.valueAtPosition(position, minValue, maxValue, type), "slider");
    }

    onValueChanged: {
        if (changeSource === "")
            rewriteText();
    }
    onTypeChanged: rewriteText()
    onMaximumDecimalDigitsChanged: rewriteText()
    Component.onCompleted: rewriteText()

    Row {
        width: parent.width
        spacing: 4
        TextInput {
            id: input
            width: parent.width - suffixLabel.width - parent.spacing
            readOnly: field.readOnly
            selectByMouse: true
            font.family: "Roboto"
            font.pixelSize: KUI.fontPixelSize
            color: field.outsideRange ? "red" : Material.foreground
            selectionColor: Material.accent
            clip: true
            onTextEdited: field.applyEdit(Logic.parseTyped(text, field.type), "user")
            Keys.onReturnPressed: enterPressed()
            Keys.onEnterPressed: enterPressed()
            onActiveFocusChanged: {
                field.changeSource = "edit";
                field.rewriteText();
                field.changeSource = "";
            }
            function enterPressed() {
                field.changeSource = "edit";
                field.rewriteText();
                field.changeSource = "";
                selectAll();
            }
        }
        Label {
            id: suffixLabel
            text: field.suffix
            visible: text !== ""
            font.family: "Roboto"
            font.pixelSize: KUI.fontPixelSize
        }
    }

    // The knob and its drag area sit on the bar, outside the content slot.
    MouseArea {
        id: knobArea
        parent: field
        x: field.bar.x
        y: field.bar.y + field.bar.height / 2 - height / 2
        width: field.bar.width
        height: KUIMetricConstants.knobSize
        enabled: field.rangeEditing && !field.readOnly
        onPressed: field.moveKnobTo(mouse.x)
        onPositionChanged: if (pressed) field.moveKnobTo(mouse.x)
    }

    Rectangle {
        id: knob
        parent: field
        visible: field.rangeEditing
        width: KUIMetricConstants.knobSize
        height: width
        radius: width / 2
        color: field.bar.color
        x: field.bar.x - width / 2
           + (field.rangeEditing ? Logic.knobPosition(field.value, field.minValue, field.maxValue) : 0) * field.bar.width
        y: field.bar.y + field.bar.height / 2 - height / 2
    }
}
