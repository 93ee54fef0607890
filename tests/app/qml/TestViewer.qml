import QtQuick 2.15
import orb 1.0
import "qrc:/Ui"

// A viewer as the concrete ones are built: the base item, a native object bound to its node,
// destroyed on termination, ticked every 17 ms.
TaskViewer {
    id: viewer
    cpp: nativeViewer

    TestTaskViewer_cpp {
        id: nativeViewer
        node: viewer.node
        onTermination: viewer.destroy()
    }
    Timer {
        interval: 17
        repeat: true
        running: true
        onTriggered: nativeViewer.tick()
    }
}
