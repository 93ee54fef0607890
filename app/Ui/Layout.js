.pragma library
// Layout arithmetic of the main window, kept free of items so that tests can call it directly.

// Radial device tree. `nodes` are the handles in the network's order, `parentOf(node)` gives a
// handle's parent. Returns one record {node, x, y} per node reachable from the root (handle 0),
// root first, in pixels relative to the tree centre, y downward: a parent's k children share
// its angle range [minAngle, maxAngle] (degrees, 0 straight below), the i-th at the middle of
// its 1/k share, 1.5 * iconSize from the parent, and each child's own children spread over
// that share. Nodes whose parent chain does not reach the root are left out.
function treeLayout(nodes, parentOf, iconSize) {
    var parents = [];
    for (var n = 0; n < nodes.length; ++n)
        parents.push(parentOf(nodes[n]));
    var records = [{ node: 0, x: 0, y: 0 }];
    var radius = 1.5 * iconSize;
    var shown = {};
    shown[0] = true;

    function loadChildren(parent, minAngle, maxAngle) {
        var children = [];
        for (var i = 0; i < nodes.length; ++i) {
            // A node lists once, under its first appearance; this also stops a cycle.
            if (parents[i] === parent.node && !shown[nodes[i]]) {
                shown[nodes[i]] = true;
                children.push(nodes[i]);
            }
        }
        var k = children.length;
        var share = (maxAngle - minAngle) / k;
        var placed = [];
        for (var c = 0; c < k; ++c) {
            var angle = minAngle + (maxAngle - minAngle) * (c + 0.5) / k;
            var radians = angle * Math.PI / 180;
            var record = {
                node: children[c],
                x: parent.x + radius * Math.sin(radians),
                y: parent.y + radius * Math.cos(radians)
            };
            records.push(record);
            placed.push({ record: record, angle: angle });
        }
        for (var p = 0; p < placed.length; ++p)
            loadChildren(placed[p].record, placed[p].angle - 0.5 * share, placed[p].angle + 0.5 * share);
    }

    loadChildren(records[0], -180, 180);
    return records;
}

// Angle in radians of the j-th of `count` task glyphs around a node.
function taskGlyphAngle(j, count) {
    return 2 * Math.PI * j / Math.max(count, 16);
}

// Offset {x, y} of the j-th task glyph from its node's centre (0.7 * iconSize away; angle 0 to
// the right, growing clockwise on screen).
function taskGlyphOffset(j, count, iconSize) {
    var angle = taskGlyphAngle(j, count);
    return { x: 0.7 * iconSize * Math.cos(angle), y: 0.7 * iconSize * Math.sin(angle) };
}

// Rotation in degrees of the line from a node at (x, y) toward the tree centre.
function lineRotation(x, y) {
    return Math.atan2(-y, -x) * 180 / Math.PI;
}

// Viewer grid for `count` viewers in an area of width by height pixels.
function gridLayout(count, maxColumns, maxRows, width, height) {
    var columns = Math.max(1, Math.min(count, maxColumns));
    var rows = Math.max(1, Math.ceil(count / columns));
    var visibleRows = Math.max(1, Math.min(maxRows, rows));
    return {
        columns: columns,
        rows: rows,
        visibleRows: visibleRows,
        cellWidth: width / columns,
        cellHeight: height / visibleRows,
        contentHeight: rows * height / visibleRows,
        scrollStep: scrollStep(rows, visibleRows)
    };
}

// Step of the grid's scroll bar: one row per step; 0 when there is nothing to scroll.
function scrollStep(rows, visibleRows) {
    return rows > visibleRows ? 1 / (rows - visibleRows) : 0;
}

// Width of the device-tree panel: `openFraction` runs from 0 (closed) to 1 (open).
function treePanelWidth(windowWidth, percent, openFraction) {
    return windowWidth * percent / 100 * openFraction;
}

// Glyph of the tree button for the number of nodes on the network.
function treeButtonGlyph(nodeCount) {
    return nodeCount === 0 ? "hexagon_outline" : nodeCount === 1 ? "hexagon" : "hexagon_multiple";
}

// Scale of the error label: it grows to fill the panel (less a 32 px margin each side), never shrinks.
function errorLabelScale(panelWidth, naturalWidth) {
    return naturalWidth > 0 ? Math.max(1, (panelWidth - 64) / naturalWidth) : 1;
}

// Top of the error label's scaled box in a tree panel of `panelHeight`: just below the root,
// clear of its disc, while the tree shows the root alone; with nodes in the tree (open
// recordings hang below the root) at the panel's foot, 16 px above its edge, so that the text
// covers none of them.
function errorLabelTop(panelHeight, iconSize, scaledHeight, nodeCount) {
    return nodeCount > 0 ? panelHeight - 16 - scaledHeight : panelHeight / 2 + 0.75 * iconSize;
}
