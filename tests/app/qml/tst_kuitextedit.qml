import QtQuick 2.15
import QtTest 1.15
import "qrc:/KestrelUI"
import "qrc:/KestrelUI/TextEditLogic.js" as Logic

TestCase {
    id: testCase
    name: "KUITextEdit"
    width: 400
    height: 200
    when: windowShown
    visible: true

    Component {
        id: fieldComponent
        KUITextEdit {
            width: 300
        }
    }

    SignalSpy {
        id: editedSpy
        signalName: "valueEdited"
    }

    function makeField(properties) {
        var field = createTemporaryObject(fieldComponent, testCase, properties);
        editedSpy.clear();
        editedSpy.target = field;
        return field;
    }

    function test_textFromValue() {
        compare(Logic.textFromValue(undefined, "Double", 4), "");
        compare(Logic.textFromValue("abc", "Double", 4), "");
        compare(Logic.textFromValue(12, "Double", 4), "12");
        compare(Logic.textFromValue(1.5, "Double", 4), "1.5");
        compare(Logic.textFromValue(1 / 3, "Double", 4), "0.3333");
        compare(Logic.textFromValue(2.00004, "Double", 4), "2");
        compare(Logic.textFromValue(-0.25, "Double", 1), "-0.3");
        compare(Logic.textFromValue(7, "Integer", 4), "7");
        compare(Logic.textFromValue("text", "String", 4), "text");
    }

    function test_validate() {
        var checked = Logic.validate("25", "Integer", 0, 31, 4);
        verify(checked.ok);
        compare(checked.value, 25);
        checked = Logic.validate("45", "Integer", 0, 31, 4);
        verify(!checked.ok);
        compare(checked.message, "allowed: 0 to 31");
        compare(Logic.validate("", "Integer", 0, 31, 4).message, "not a whole number; allowed: 0 to 31");
        compare(Logic.validate("2.5", "Integer", 0, 0, 4).message, "not a whole number");
        compare(Logic.validate("2.5abc", "Double", 0, 0, 4).message, "not a number");
        compare(Logic.validate(" -1e-3 ", "Double", -1, 1, 4).value, -0.001);
        compare(Logic.validate("1.25", "Double", 0, 0.5, 4).message, "allowed: 0 to 0.5");
        compare(Logic.validate("12", "String", 0, 0, 4).value, "12");
    }

    function test_rangeRules() {
        verify(Logic.rangeEditing(5, 0, 10, "Double"));
        verify(Logic.rangeEditing(5, 0, 10, "Integer"));
        verify(!Logic.rangeEditing(5, 0, 10, "String"));
        verify(!Logic.rangeEditing(5, 0, 0, "Double"));
        verify(!Logic.rangeEditing("5", 0, 10, "Double"));
        compare(Logic.knobPosition(2.5, 0, 10), 0.25);
        compare(Logic.knobPosition(-3, 0, 10), 0);
        compare(Logic.knobPosition(30, 0, 10), 1);
        compare(Logic.valueAtPosition(0.26, 0, 10, "Integer"), 3);
        compare(Logic.valueAtPosition(0.26, 0, 10, "Double"), 2.6);
        verify(Logic.outsideRange(11, 0, 10, "Double"));
        verify(!Logic.outsideRange(10, 0, 10, "Double"));
        verify(!Logic.outsideRange(11, 0, 0, "Double"));
    }

    function test_outsideChangeRewritesWithoutEditing() {
        var field = makeField({ value: 1.25 });
        compare(field.input.text, "1.25");
        field.value = 3;
        compare(field.input.text, "3");
        field.value = undefined;
        compare(field.input.text, "");
        compare(editedSpy.count, 0);
    }

    function typeText(field, keys) {
        field.input.forceActiveFocus();
        field.input.selectAll();
        for (var i = 0; i < keys.length; ++i)
            keyClick(keys[i]);
    }

    function test_typedTextIsCommittedOnEnterOrLeaving() {
        // "25" is one edit: nothing while typing, 25 on Enter (not 2 and then 25).
        var integer = makeField({ value: 0, type: "Integer", minValue: 0, maxValue: 31 });
        typeText(integer, [Qt.Key_2, Qt.Key_5]);
        compare(integer.value, 0);
        compare(editedSpy.count, 0);
        keyClick(Qt.Key_Return);
        compare(integer.value, 25);
        compare(editedSpy.count, 1);
        compare(editedSpy.signalArguments[0][0], 25);
        compare(integer.input.selectedText, "25");

        var field = makeField({ value: 0, type: "Double" });
        typeText(field, [Qt.Key_2, Qt.Key_Period, Qt.Key_5]);
        compare(field.input.text, "2.5");
        compare(editedSpy.count, 0);
        testCase.forceActiveFocus();
        compare(field.value, 2.5);
        compare(editedSpy.count, 1);

        var text = makeField({ value: "", type: "String" });
        typeText(text, [Qt.Key_A, Qt.Key_B]);
        compare(editedSpy.count, 0);
        keyClick(Qt.Key_Enter);
        compare(text.value, "ab");
        compare(editedSpy.count, 1);
    }

    function test_refusedTextIsNotSentAndSaysTheRange() {
        var field = makeField({ value: 5, type: "Integer", minValue: 0, maxValue: 31 });
        typeText(field, [Qt.Key_4, Qt.Key_5]);
        verify(Qt.colorEqual(field.input.color, "red"));
        keyClick(Qt.Key_Return);
        compare(field.value, 5);
        compare(field.input.text, "45");
        verify(field.problemLabel.visible);
        compare(field.problemLabel.text, "allowed: 0 to 31");
        // A cleared field is not 0.
        typeText(field, [Qt.Key_Backspace]);
        keyClick(Qt.Key_Return);
        compare(field.value, 5);
        compare(field.problem, "not a whole number; allowed: 0 to 31");
        // Leaving brings the value's text back; nothing was sent.
        testCase.forceActiveFocus();
        compare(field.input.text, "5");
        verify(!field.problemLabel.visible);
        verify(!Qt.colorEqual(field.input.color, "red"));
        compare(editedSpy.count, 0);
    }

    function test_knobDragSetsTheValue() {
        var field = makeField({ value: 2, minValue: 0, maxValue: 10, type: "Integer" });
        verify(field.rangeEditing);
        verify(field.knob.visible);
        fuzzyCompare(field.knob.x + field.knob.width / 2, field.bar.x + 0.2 * field.bar.width, 0.01);
        mousePress(field.knobArea, 0.5 * field.bar.width, field.knobArea.height / 2);
        mouseMove(field.knobArea, 0.74 * field.bar.width, field.knobArea.height / 2);
        mouseRelease(field.knobArea, 0.74 * field.bar.width, field.knobArea.height / 2);
        compare(field.value, 7);
        compare(field.input.text, "7");
        verify(editedSpy.count >= 2);
        fuzzyCompare(field.knob.x + field.knob.width / 2, field.bar.x + 0.7 * field.bar.width, 0.01);
    }

    function test_outsideRangeIsRed() {
        var field = makeField({ value: 12, minValue: 0, maxValue: 10 });
        verify(field.outsideRange);
        verify(Qt.colorEqual(field.input.color, "red"));
        fuzzyCompare(field.knob.x + field.knob.width / 2, field.bar.x + field.bar.width, 0.01);
        field.value = 4;
        verify(!field.outsideRange);
        verify(!Qt.colorEqual(field.input.color, "red"));
        var noRange = makeField({ value: 12, minValue: 0, maxValue: 0 });
        verify(!noRange.rangeEditing);
        verify(!noRange.knob.visible);
        verify(!noRange.outsideRange);
    }

    function test_highlightedBarIsRed() {
        var field = makeField({ value: 1, highlighted: true });
        verify(Qt.colorEqual(field.bar.color, "red"));
        field.highlighted = false;
        verify(!Qt.colorEqual(field.bar.color, "red"));
    }
}
