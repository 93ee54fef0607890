import QtQuick 2.15
import QtTest 1.15
import "qrc:/Ui/Layout.js" as Layout

// Layout arithmetic, against positions worked out by hand (radius 1.5 * 48 = 72 px).
TestCase {
    name: "Layout"

    function layoutOf(tree) {
        // tree: list of [handle, parent]
        var nodes = tree.map(function (n) { return n[0]; });
        var parents = {};
        tree.forEach(function (n) { parents[n[0]] = n[1]; });
        return Layout.treeLayout(nodes, function (node) { return parents[node]; }, 48);
    }

    function find(records, node) {
        for (var i = 0; i < records.length; ++i)
            if (records[i].node === node)
                return records[i];
        return null;
    }

    function test_rootAloneAtTheCentre() {
        var records = layoutOf([]);
        compare(records.length, 1);
        compare(records[0].node, 0);
        compare(records[0].x, 0);
        compare(records[0].y, 0);
    }

    function test_twoChildrenLeftAndRight() {
        var records = layoutOf([[4, 0], [9, 0]]);
        compare(records.length, 3);
        fuzzyCompare(find(records, 4).x, -72, 1e-9);
        fuzzyCompare(find(records, 4).y, 0, 1e-9);
        fuzzyCompare(find(records, 9).x, 72, 1e-9);
        fuzzyCompare(find(records, 9).y, 0, 1e-9);
    }

    function test_threeChildrenStartAboveLeft() {
        // Angles -120, 0, 120: the middle one straight below the root.
        var records = layoutOf([[1, 0], [2, 0], [3, 0]]);
        fuzzyCompare(find(records, 2).x, 0, 1e-9);
        fuzzyCompare(find(records, 2).y, 72, 1e-9);
        fuzzyCompare(find(records, 1).x, -72 * Math.sqrt(3) / 2, 1e-9);
        fuzzyCompare(find(records, 1).y, -36, 1e-9);
    }

    function test_grandchildrenSpreadOverTheirParentsHalf() {
        // Node 1 sits at -90 degrees and owns -180..0: its three children at -150, -90, -30.
        var records = layoutOf([[1, 0], [2, 0], [11, 1], [12, 1], [13, 1], [21, 2]]);
        fuzzyCompare(find(records, 11).x, -108, 1e-9);
        fuzzyCompare(find(records, 11).y, -62.35382907247958, 1e-9);
        fuzzyCompare(find(records, 12).x, -144, 1e-9);
        fuzzyCompare(find(records, 12).y, 0, 1e-9);
        fuzzyCompare(find(records, 13).x, -108, 1e-9);
        fuzzyCompare(find(records, 13).y, 62.35382907247959, 1e-9);
        fuzzyCompare(find(records, 21).x, 144, 1e-9);
        fuzzyCompare(find(records, 21).y, 0, 1e-9);
    }

    function test_childrenInNetworkOrderAfterTheirParent() {
        var records = layoutOf([[7, 5], [5, 0], [6, 5]]);
        compare(records.map(function (r) { return r.node; }), [0, 5, 7, 6]);
    }

    function test_nodesNotReachingTheRootAreLeftOut() {
        var records = layoutOf([[1, 0], [5, 99], [6, 5], [7, 7]]);
        compare(records.map(function (r) { return r.node; }), [0, 1]);
    }

    function test_taskGlyphAngles() {
        compare(Layout.taskGlyphAngle(0, 20), 0);
        fuzzyCompare(Layout.taskGlyphAngle(1, 20) * 180 / Math.PI, 18, 1e-9);
        fuzzyCompare(Layout.taskGlyphAngle(19, 20) * 180 / Math.PI, 342, 1e-9);
        compare(Layout.taskGlyphAngle(0, 3), 0);
        fuzzyCompare(Layout.taskGlyphAngle(1, 3) * 180 / Math.PI, 22.5, 1e-9);
        fuzzyCompare(Layout.taskGlyphAngle(2, 3) * 180 / Math.PI, 45, 1e-9);
        var offset = Layout.taskGlyphOffset(4, 3, 48);
        // 90 degrees: straight below, 0.7 * 48 away.
        fuzzyCompare(offset.x, 0, 1e-9);
        fuzzyCompare(offset.y, 33.6, 1e-9);
    }

    function test_lineRotationPointsTowardTheCentre() {
        fuzzyCompare(Layout.lineRotation(-72, 0), 0, 1e-9);
        fuzzyCompare(Math.abs(Layout.lineRotation(72, 0)), 180, 1e-9);
        fuzzyCompare(Layout.lineRotation(0, 72), -90, 1e-9);
    }

    function test_gridThreeViewersTwoByOne() {
        var grid = Layout.gridLayout(3, 2, 1, 800, 600);
        compare(grid.columns, 2);
        compare(grid.rows, 2);
        compare(grid.visibleRows, 1);
        compare(grid.cellWidth, 400);
        compare(grid.cellHeight, 600);
        compare(grid.contentHeight, 1200);
        compare(grid.scrollStep, 1);
    }

    function test_gridLimits() {
        var first = Layout.gridLayout(1, 1, 1, 800, 600);
        compare([first.columns, first.rows, first.visibleRows, first.scrollStep], [1, 1, 1, 0]);
        var empty = Layout.gridLayout(0, 2, 2, 800, 600);
        compare([empty.columns, empty.rows, empty.cellWidth, empty.cellHeight], [1, 1, 800, 600]);
        var many = Layout.gridLayout(10, 3, 2, 900, 600);
        compare([many.columns, many.rows, many.visibleRows, many.cellWidth, many.cellHeight], [3, 4, 2, 300, 300]);
        compare(many.scrollStep, 0.5);
    }

    function test_panelAndButtons() {
        compare(Layout.treePanelWidth(1600, 50, 1), 800);
        compare(Layout.treePanelWidth(1600, 50, 0), 0);
        compare(Layout.treePanelWidth(1000, 30, 0.5), 150);
        compare(Layout.treeButtonGlyph(0), "hexagon_outline");
        compare(Layout.treeButtonGlyph(1), "hexagon");
        compare(Layout.treeButtonGlyph(2), "hexagon_multiple");
        compare(Layout.errorLabelScale(800, 100), 7.36);
        compare(Layout.errorLabelScale(100, 100), 1);
    }
}
