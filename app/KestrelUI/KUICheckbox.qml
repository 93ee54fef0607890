import QtQuick 2.15
import QtQuick.Controls 2.15
import "."

// Check box field: shows Boolean(value); a user toggle sets value and emits valueEdited.
KUIEdit {
    id: field

    property alias checkBox: checkBox

    CheckBox {
        id: checkBox
        padding: 0
        enabled: !field.readOnly
        checked: Boolean(field.value)
        onToggled: {
            field.value = checked;
            checked = Qt.binding(function () { return Boolean(field.value); });
            field.valueEdited(field.value);
        }
    }
}
