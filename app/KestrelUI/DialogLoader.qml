import QtQuick 2.15

// Creates its dialog component on open() and drops it again when the dialog closes.
Loader {
    id: loader

    property Component dialog
    signal accepted()
    signal rejected()

    function open() {
        sourceComponent = dialog;
        if (item)
            item.open();
    }

    active: sourceComponent !== undefined && sourceComponent !== null
    Connections {
        target: loader.item
        ignoreUnknownSignals: true
        function onAccepted() { loader.accepted(); }
        function onRejected() { loader.rejected(); }
        function onClosed() { loader.sourceComponent = null; }
    }
}
