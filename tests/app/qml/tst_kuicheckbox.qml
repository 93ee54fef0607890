import QtQuick 2.15
import QtTest 1.15
import "qrc:/KestrelUI"

TestCase {
    id: testCase
    name: "KUICheckbox"
    when: windowShown
    visible: true
    width: 300
    height: 100

    Component {
        id: boxComponent
        KUICheckbox { width: 200 }
    }
    SignalSpy {
        id: editedSpy
        signalName: "valueEdited"
    }

    function test_showsTheTruthOfItsValue() {
        var box = createTemporaryObject(boxComponent, testCase, { value: 0 });
        verify(!box.checkBox.checked);
        box.value = "yes";
        verify(box.checkBox.checked);
        box.value = undefined;
        verify(!box.checkBox.checked);
    }

    function test_userToggleSetsValueAndEmits() {
        var box = createTemporaryObject(boxComponent, testCase, { value: false });
        editedSpy.target = box;
        editedSpy.clear();
        mouseClick(box.checkBox);
        compare(box.value, true);
        compare(editedSpy.count, 1);
        compare(editedSpy.signalArguments[0][0], true);
        // Outside changes still show after a toggle, without emitting.
        box.value = false;
        verify(!box.checkBox.checked);
        compare(editedSpy.count, 1);
    }

    function test_readOnlyIgnoresClicks() {
        var box = createTemporaryObject(boxComponent, testCase, { value: false, readOnly: true });
        editedSpy.target = box;
        editedSpy.clear();
        mouseClick(box.checkBox);
        compare(box.value, false);
        compare(editedSpy.count, 0);
    }
}
