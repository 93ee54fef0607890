import QtQuick 2.15
import QtTest 1.15

// The main window against the fake device network: host 0 - adapter 1 - trackers 3 and 2 (in
// that network order). Tracker 2 runs both tasks, tracker 3 only the tracking task.
TestCase {
    id: testCase
    name: "MainWindow"
    when: windowShown
    visible: true
    width: 1600
    height: 1000

    readonly property string testViewer: Qt.resolvedUrl("TestViewer.qml")
    property var root: loader.item

    Loader {
        id: loader
        width: 1600
        height: 1000
        source: "qrc:/main.qml"
    }

    SignalSpy {
        id: createSpy
        signalName: "createViewer"
    }

    function initTestCase() {
        fakeNetwork.plug(1, 0);
        fakeNetwork.plug(3, 1);
        fakeNetwork.plug(2, 1);
        fakeNetwork.support(2, 0);
        fakeNetwork.support(2, 1);
        fakeNetwork.support(3, 0);
        verify(root !== null);
        tryCompare(root.mainLayout.kdnViewer, "nodes", [1, 3, 2], 1000);
    }

    function cleanup() {
        root.settings.autoRunViewerName = "";
        root.settings.viewersGridMaxColumns = 1;
        root.settings.viewersGridMaxRows = 1;
        for (var i = root.mainLayout.grid.children.length - 1; i >= 0; --i)
            root.mainLayout.grid.children[i].destroy();
        tryCompare(root.mainLayout.grid.children, "length", 0);
    }

    function record(node) {
        var records = root.mainLayout.kdnViewer.records;
        for (var i = 0; i < records.length; ++i)
            if (records[i].node === node)
                return records[i];
        return null;
    }

    function test_defaultSettings() {
        var s = root.settings;
        compare([s.x, s.y, s.autoRunViewerName, s.trackingDebugSectionID], [0, 0, "", 0]);
        compare([s.viewersGridMaxColumns, s.viewersGridMaxRows, s.kdnWindowWidth], [1, 1, 50]);
        // The geometry follows the window from the start; a size never stored keeps the window's.
        compare([window.x, window.y, window.width, window.height], [0, 0, 1280, 800]);
        compare([s.width, s.height], [1280, 800]);
        window.x = 25;
        compare(s.x, 25);
        window.x = 0;
        compare(window.title, "OrbDebug");
    }

    function test_viewerTableRowsWithoutTheViewerTypes() {
        var titles = root.taskViewers.map(function (e) { return e.title; });
        compare(titles, ["Tracking Debug", "MidSpace", "Gyroscope Latency", "Image", "Session Health"]);
        compare(root.taskViewers[0].viewerName, "TaskViewer_OrbTracking_Debug.qml");
        compare(root.taskViewers[3].viewerName, "TaskViewer_OrbDebug_Image.qml");
        compare(root.taskViewers[4].viewerName, "TaskViewer_OrbTracking_SessionHealth.qml");
        compare([root.taskViewers[4].InterfaceId0, root.taskViewers[4].InterfaceId3], [-1497334480, -493714535]);
        compare([root.taskViewers[1].InterfaceId0, root.taskViewers[1].InterfaceId3], [-1497334480, -493714535]);
        compare([root.taskViewers[3].InterfaceId0, root.taskViewers[3].InterfaceId3], [718814804, -1728531172]);
        compare(root.taskViewers[0].icon, root.icons.crosshairs_gps);
    }

    function test_treeLayoutOfTheFakeNetwork() {
        var kdn = root.mainLayout.kdnViewer;
        compare(kdn.errorText, "");
        compare(kdn.records.length, 4);
        // The adapter straight below the host; its trackers left and right of it.
        fuzzyCompare(record(1).x, 0, 1e-9);
        fuzzyCompare(record(1).y, 72, 1e-9);
        fuzzyCompare(record(3).x, -72, 1e-9);
        fuzzyCompare(record(3).y, 72, 1e-9);
        fuzzyCompare(record(2).x, 72, 1e-9);
        fuzzyCompare(record(2).y, 72, 1e-9);
        compare(kdn.supportedGlyphs(2).length, 5);
        compare(kdn.supportedGlyphs(3).length, 4);
        compare(kdn.supportedGlyphs(1).length, 0);
    }

    function test_treePanelOpensToItsShareOfTheWindow() {
        var layout = root.mainLayout;
        compare(layout.treeButton.glyph, root.icons.hexagon_multiple);
        verify(!layout.treePanel.visible);
        mouseClick(layout.treeButton);
        verify(layout.treeOpen);
        tryCompare(layout.treePanel, "width", 800, 1000);
        // The tracker's button sits where the layout puts it, relative to the panel centre.
        var button = findChild(layout.kdnViewer, "nodeButton2");
        verify(button !== null);
        var centre = button.mapToItem(layout.kdnViewer, button.width / 2, button.height / 2);
        fuzzyCompare(centre.x, layout.kdnViewer.width / 2 + 72, 0.5);
        fuzzyCompare(centre.y, layout.kdnViewer.height / 2 + 72, 0.5);
        // A new width setting applies at once.
        root.settings.kdnWindowWidth = 30;
        compare(layout.treePanel.width, 480);
        root.settings.kdnWindowWidth = 50;
        mouseClick(layout.treeButton);
        tryCompare(layout.treePanel, "visible", false, 1000);
    }

    function test_tasksMenuListsWhatTheNodeSupports() {
        var menu = root.tasksMenu;
        menu.show(2);
        compare(menu.node, 2);
        compare(menu.entries.map(function (e) { return e.title; }),
                ["Tracking Debug", "MidSpace", "Gyroscope Latency", "Image", "Session Health"]);
        tryCompare(menu, "count", 5);
        compare(menu.itemAt(3).text, "Image");
        menu.close();
        menu.show(3);
        compare(menu.entries.length, 4);
        tryCompare(menu, "count", 4);
        menu.close();
    }

    function test_missingViewerFileOnlyLogs() {
        var viewer = root.mainLayout.createTaskViewer("TaskViewer_OrbTracking_Debug.qml", 2);
        compare(viewer, null);
        compare(root.mainLayout.grid.children.length, 0);
    }

    function test_autoRunPicksTheFirstSupportingNode() {
        var kdn = root.mainLayout.kdnViewer;
        createSpy.target = kdn;
        createSpy.clear();
        kdn.autoRun();
        compare(createSpy.count, 0);
        root.settings.autoRunViewerName = "TaskViewer_OrbDebug_Image.qml";
        kdn.autoRun();
        compare(createSpy.count, 1);
        compare([createSpy.signalArguments[0][0], createSpy.signalArguments[0][1]], ["TaskViewer_OrbDebug_Image.qml", 2]);
        root.settings.autoRunViewerName = "TaskViewer_OrbTracking_MidSpace.qml";
        kdn.autoRun();
        compare([createSpy.signalArguments[1][0], createSpy.signalArguments[1][1]],
                ["TaskViewer_OrbTracking_MidSpace.qml", 3]);
        root.settings.autoRunViewerName = "NoSuchViewer.qml";
        kdn.autoRun();
        compare(createSpy.count, 2);
    }

    function test_closeButtonEndsTheTaskOnce() {
        var viewer = root.mainLayout.createTaskViewer(testViewer, 2);
        verify(viewer !== null);
        compare(viewer.cpp.node, 2);
        compare(fakeNetwork.openTasks(), 1);
        compare(viewer.width, root.mainLayout.area.width);
        var spy = createTemporaryObject(spyComponent, testCase, { target: viewer.cpp });
        mouseClick(viewer.closeButton);
        compare(spy.count, 1);
        compare(fakeNetwork.openTasks(), 0);
        tryCompare(root.mainLayout.grid.children, "length", 0);
    }

    function test_unplugRemovesTheViewer() {
        fakeNetwork.plug(7, 1);
        fakeNetwork.support(7, 0);
        tryVerify(function () { return record(7) !== null; }, 1000);
        var viewer = root.mainLayout.createTaskViewer(testViewer, 7);
        compare(fakeNetwork.openTasks(), 1);
        fakeNetwork.unplug(7);
        compare(fakeNetwork.openTasks(), 0);
        tryCompare(root.mainLayout.grid.children, "length", 0, 200);
        tryVerify(function () { return record(7) === null; }, 1000);
    }

    function test_gridOfThreeViewersTwoByOne() {
        root.settings.viewersGridMaxColumns = 2;
        root.settings.viewersGridMaxRows = 1;
        for (var i = 0; i < 3; ++i)
            root.mainLayout.createTaskViewer(testViewer, 2);
        var layout = root.mainLayout;
        compare(layout.grid.columns, 2);
        compare(layout.gridMetrics.rows, 2);
        compare(layout.gridMetrics.visibleRows, 1);
        compare(layout.scrollBar.stepSize, 1);
        compare(layout.grid.children[0].width, layout.area.width / 2);
        compare(layout.grid.children[0].height, layout.area.height);
        compare(layout.area.contentHeight, 2 * layout.area.height);
        verify(layout.scrollBar.size < 1);
    }

    function test_screenshotAndFolderButtons() {
        var camera = findChild(root, "screenshotButton");
        mouseClick(camera);
        compare(QEx.captures.length, 1);
        verify(/^Screenshots\/\d\d_\d\d_\d\d_\d\d_\d\d_\d\d\d\.png$/.test(QEx.captures[0]), QEx.captures[0]);
        mouseClick(findChild(root, "openFolderButton"));
        compare(QEx.shellCalls, 1);
    }

    // Without running tasks a recording writes no file, and says so; the button shows the
    // record glyph and its label the state.
    function test_recordButton() {
        var button = findChild(root, "recordButton");
        var status = findChild(root, "recordStatus");
        compare(button.text, root.icons.record_rec);
        root.recorder.folder = testRecordingsFolder + "/Recordings";
        mouseClick(button);
        verify(root.recorder.recording);
        compare(status.text, "Recording 0 tasks into " + testRecordingsFolder + "/Recordings");
        mouseClick(button);
        verify(!root.recorder.recording);
        compare(status.text, "Recorded 0 files into " + testRecordingsFolder + "/Recordings");
        compare(root.recorder.files.length, 0);
    }

    function test_zz_settingsPersistAcrossARestart() {
        root.settings.kdnWindowWidth = 70;
        root.settings.autoRunViewerName = "TaskViewer_OrbDebug_Image.qml";
        window.width = 1000;
        loader.active = false;
        // The old window's settings are written when it is deleted, at the next event loop turn.
        wait(100);
        loader.active = true;
        tryVerify(function () { return loader.item !== null; });
        compare(loader.item.settings.kdnWindowWidth, 70);
        compare(loader.item.settings.autoRunViewerName, "TaskViewer_OrbDebug_Image.qml");
        compare(loader.item.settings.width, 1000);
        loader.item.settings.autoRunViewerName = "";
        loader.item.settings.kdnWindowWidth = 50;
    }

    Component {
        id: spyComponent
        SignalSpy { signalName: "termination" }
    }
}
