import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "."

// The transport of one open recording: close, one frame back, play or pause, one frame forward,
// the scrub bar (frames when the recording has optical frames, else seconds), the position,
// the speed and loop. Runs its replay's refresh() every 100 ms, since the replay's clock
// moves on its own thread; a run back in time shows its progress once it takes a moment.
Rectangle {
    id: transport

    property var replay: null
    signal closeRequested(int node)
    // Speeds offered; 0 plays as fast as possible.
    readonly property var rates: [0.1, 0.25, 0.5, 1, 2, 5, 10, 0]
    property bool longRun: false

    height: 40
    color: Qt.rgba(Material.accent.r, Material.accent.g, Material.accent.b, 0.08)

    Timer {
        interval: 100
        repeat: true
        running: transport.replay !== null
        onTriggered: {
            transport.replay.refresh();
            if (!transport.replay.seeking)
                transport.longRun = false;
        }
    }
    // A step or seek that is still running after 300 ms shows its progress.
    Timer {
        interval: 300
        running: transport.replay !== null && transport.replay.seeking
        onTriggered: transport.longRun = transport.replay.seeking
    }

    Row {
        anchors.fill: parent
        anchors.leftMargin: 4
        spacing: 2
        IconButton {
            objectName: "replayClose"
            height: parent.height
            glyph: IconFont.icons.close
            ToolTip.visible: hovered
            ToolTip.text: "Close the recording"
            onClicked: transport.closeRequested(transport.replay.node)
        }
        Label {
            anchors.verticalCenter: parent.verticalCenter
            width: 220
            elide: Text.ElideMiddle
            text: transport.replay.name
        }
        IconButton {
            objectName: "replayStepBack"
            height: parent.height
            glyph: IconFont.icons.step_backward
            enabled: transport.replay.frameCount > 0
            ToolTip.visible: hovered
            ToolTip.text: "One frame back"
            onClicked: transport.replay.stepBack()
        }
        IconButton {
            objectName: "replayPlay"
            height: parent.height
            glyph: transport.replay.playing ? IconFont.icons.pause : IconFont.icons.play
            ToolTip.visible: hovered
            ToolTip.text: transport.replay.playing ? "Pause" : "Play"
            onClicked: transport.replay.togglePlay()
        }
        IconButton {
            objectName: "replayStepForward"
            height: parent.height
            glyph: IconFont.icons.step_forward
            enabled: transport.replay.frameCount > 0
            ToolTip.visible: hovered
            ToolTip.text: "One frame forward"
            onClicked: transport.replay.stepForward()
        }
        Slider {
            id: scrub
            objectName: "replayScrub"
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(120, transport.width - 820)
            readonly property bool frames: transport.replay.frameCount > 0
            from: frames ? -1 : 0
            to: frames ? transport.replay.frameCount - 1 : transport.replay.duration
            stepSize: frames ? 1 : 0
            value: pressed ? value : (frames ? transport.replay.frame : transport.replay.time)
            onPressedChanged: {
                if (pressed)
                    return;
                if (frames)
                    transport.replay.seekFrame(Math.round(value));
                else
                    transport.replay.seekTime(value);
            }
        }
        Label {
            objectName: "replayPosition"
            anchors.verticalCenter: parent.verticalCenter
            width: 210
            text: transport.longRun ? "going to the frame: " + Math.round(100 * transport.replay.progress) + " %"
                                    : transport.replay.positionText
        }
        ProgressBar {
            anchors.verticalCenter: parent.verticalCenter
            width: 60
            visible: transport.longRun
            value: transport.replay.progress
        }
        ComboBox {
            objectName: "replayRate"
            anchors.verticalCenter: parent.verticalCenter
            width: 110
            model: transport.rates.map(function (r) { return r === 0 ? "max" : r + "x"; })
            currentIndex: transport.rates.indexOf(transport.replay.rate)
            onActivated: transport.replay.setRate(transport.rates[index])
        }
        CheckBox {
            objectName: "replayLoop"
            anchors.verticalCenter: parent.verticalCenter
            text: "loop"
            checked: transport.replay.loop
            onToggled: transport.replay.setLoop(checked)
        }
    }
}
