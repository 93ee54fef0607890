import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."
import "TextEditLogic.js" as Logic

// Text field for an Integer, Double or String value, with an optional suffix. With a numeric
// value and minValue < maxValue a knob on the bar edits the value within the range. Typed text
// becomes the value when the user presses Enter or leaves the field, not on every keystroke;
// text that is not a number of the field's type, or lies outside the range, is refused: it
// turns red, `problem` says what is allowed, and nothing is emitted (leaving the field then
// brings back the value's text). User changes (a commit, the knob) emit valueEdited; a change
// of `value` from outside only rewrites the text and the knob. `changeSource` tells whose
// change is being applied so that the field's own updates do not loop back.
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
    // Typed text not yet committed, and why it cannot be ("" when it can).
    property bool editing: false
    property string problem: ""
    property alias input: input
    property alias knob: knob
    property alias knobArea: knobArea
    property alias problemLabel: problemLabel

    barFocused: knobArea.pressed

    function rewriteText() {
        input.text = Logic.textFromValue(value, type, maximumDecimalDigits);
    }

    // Applies a value the user made; `source` is "user" (typing) or "slider" (knob).
    function applyEdit(newValue, source) {
        changeSource = source;
        value = newValue;
        if (source === "slider") {
            editing = false;
            problem = "";
            rewriteText();
        }
        changeSource = "";
        valueEdited(value);
    }

    // Makes the typed text the value when it is valid; returns whether it was.
    function commit() {
        if (!editing)
            return true;
        var checked = Logic.validate(input.text, type, minValue, maxValue, maximumDecimalDigits);
        problem = checked.message;
        if (!checked.ok)
            return false;
        editing = false;
        applyEdit(checked.value, "user");
        rewriteText();
        return true;
    }

    function moveKnobTo(pixelX) {
        if (!rangeEditing || readOnly)
            return;
        var position = Math.min(1, Math.max(0, pixelX / field.bar.width));
        applyEdit(Logic.valueAtPosition(position, minValue, maxValue, type), "slider");
    }

    onValueChanged: {
        if (changeSource === "") {
            editing = false;
            problem = "";
            rewriteText();
        }
    }
    onTypeChanged: rewriteText()
    onMaximumDecimalDigitsChanged: rewriteText()
    Component.onCompleted: rewriteText()

    Column {
        width: parent.width
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
                color: field.outsideRange || field.problem !== "" ? "red" : Material.foreground
                selectionColor: Material.accent
                clip: true
                onTextEdited: {
                    field.editing = true;
                    field.problem = Logic.validate(text, field.type, field.minValue, field.maxValue,
                                                   field.maximumDecimalDigits).message;
                }
                Keys.onReturnPressed: enterPressed()
                Keys.onEnterPressed: enterPressed()
                onActiveFocusChanged: {
                    // Leaving with refused text keeps the value: its text comes back.
                    if (!activeFocus && !field.commit()) {
                        field.editing = false;
                        field.problem = "";
                    }
                    field.changeSource = "edit";
                    field.rewriteText();
                    field.changeSource = "";
                }
                function enterPressed() {
                    if (!field.commit())
                        return;
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
        Label {
            id: problemLabel
            width: parent.width
            visible: field.problem !== ""
            text: field.problem
            color: "red"
            wrapMode: Text.Wrap
            font.family: "Roboto"
            font.pixelSize: KUI.fontPixelSize - 2
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
