import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtCharts 2.15
import orb 1.0
import "."

// What a person checks first when tracking is poor, for the session this viewer's tracking has
// seen since it opened: live figures, findings in plain words, plots over time, where stray
// blobs sit in the image and, in the room seen from above, how often each marker was matched
// and where stray light comes from. The native object makes the report off the GUI thread.
TaskViewer {
    id: root
    cpp: cpp

    property alias titleLabel: titleLabel
    property alias figuresView: figuresView
    property alias findingsView: findingsView
    property alias charts: charts
    property alias heatMap: heatMap
    property alias roomView: roomView

    TaskViewer_OrbTracking_SessionHealth_cpp {
        id: cpp
        node: root.node
        onTermination: root.destroy()
    }

    Timer {
        interval: 17
        repeat: true
        running: true
        onTriggered: cpp.tick()
    }

    Rectangle {
        anchors.fill: parent
        color: "white"
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        anchors.rightMargin: 56
        spacing: 6

        Label {
            id: titleLabel
            Layout.fillWidth: true
            font.pixelSize: 18
            font.bold: true
            // Rich only for the configuration's messages (line breaks); the session text is plain.
            textFormat: Text.AutoText
            wrapMode: Text.WordWrap
            text: cpp.statusText !== "" ? cpp.statusText : "Session Health · " + cpp.model.sessionText
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: false
            Layout.preferredHeight: 0.25 * root.height
            spacing: 12

            // The figures in two columns, so that all of them show without scrolling.
            GridView {
                id: figuresView
                Layout.preferredWidth: 560
                Layout.fillHeight: true
                clip: true
                flow: GridView.FlowTopToBottom
                cellWidth: 280
                cellHeight: 18
                // A count, not the list: the rows stay and only their values change with a report.
                model: cpp.model.figureNames.length
                delegate: RowLayout {
                    width: figuresView.cellWidth - 16
                    Label { text: cpp.model.figureNames[index]; font.pixelSize: 13; Layout.fillWidth: true }
                    Label { text: cpp.model.figureValues[index]; font.pixelSize: 13; font.bold: true }
                }
            }

            ListView {
                id: findingsView
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                spacing: 8
                model: cpp.model.findings
                ScrollBar.vertical: ScrollBar {}
                Label {
                    visible: findingsView.count === 0 && cpp.statusText === ""
                    text: cpp.model.figureNames.length === 0 ? "Waiting for the first report..."
                                                          : "No findings: nothing in this session points to a problem."
                    font.pixelSize: 15
                    color: "#2E7D32"
                }
                delegate: Column {
                    width: findingsView.width - 12
                    Label {
                        width: parent.width
                        text: "\u25B2 " + modelData.text
                        font.pixelSize: 15
                        font.bold: true
                        color: "#B23C00"
                        wrapMode: Text.WordWrap
                    }
                    Label {
                        width: parent.width
                        leftPadding: 20
                        text: modelData.evidence
                        font.pixelSize: 13
                        color: "#555555"
                        wrapMode: Text.WordWrap
                    }
                    Label {
                        width: parent.width
                        leftPadding: 20
                        text: "Suggestion: " + modelData.suggestion
                        font.pixelSize: 13
                        font.italic: true
                        wrapMode: Text.WordWrap
                    }
                }
            }
        }

        RowLayout {
            id: charts
            Layout.fillWidth: true
            Layout.fillHeight: false
            Layout.preferredHeight: 0.27 * root.height
            spacing: 0

            Repeater {
                model: cpp.model.plotTitles
                ChartView {
                    id: chart
                    property alias plotSeries: series
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    title: modelData
                    titleFont.pixelSize: 13
                    legend.visible: false
                    antialiasing: true
                    margins.top: 4
                    margins.bottom: 4
                    margins.left: 4
                    margins.right: 4

                    ValueAxis {
                        id: timeAxis
                        min: 0
                        max: 1
                        titleText: "s"
                        labelsFont.pixelSize: 11
                        labelFormat: "%g"
                    }
                    ValueAxis {
                        id: valueAxis
                        min: 0
                        max: 1
                        labelsFont.pixelSize: 11
                        labelFormat: "%g"
                    }
                    LineSeries {
                        id: series
                        axisX: timeAxis
                        axisY: valueAxis
                        width: 2
                        color: "#3949AB"
                    }
                    Connections {
                        target: cpp.model
                        function onPlotsChanged() {
                            timeAxis.max = cpp.model.timeSpan;
                            timeAxis.applyNiceNumbers();
                            valueAxis.max = cpp.model.plotMaximum(index);
                            cpp.model.fillSeries(series, index);
                        }
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 12

            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Label {
                    text: "Stray blobs in the camera image: " + cpp.model.strayBlobs
                    font.pixelSize: 13
                }
                SessionHealthHeatMap {
                    id: heatMap
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    model: cpp.model
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Label {
                    text: "Room from above: markers by match rate (red never, green always, grey not in view); crosses: stray light"
                    font.pixelSize: 13
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                SessionHealthRoomView {
                    id: roomView
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    model: cpp.model
                }
            }
        }
    }
}
