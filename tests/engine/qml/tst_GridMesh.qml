import QtQuick 2.15
import QtTest 1.15
import OrbOpenGlEngine 1.0
import "qrc:/OpenGlEngine/imports/Meshes"

TestCase {
    name: "GridMesh"

    GridMesh { id: grid; stepsCountX: 2; stepsCountY: 1; stepSize: 1 }
    GridMesh { id: minor; stepsCountX: 2; stepsCountY: 1; stepSize: 1; minorSegmentsCount: 4 }
    GridMesh { id: empty; stepSize: 0 }

    // 3 vertical and 2 horizontal lines of two vertices each.
    function test_lineCounts() {
        compare(grid.constructor.vertexCount, (3 + 2) * 2)
        // 3 minor lines in each of the 2 columns and the 1 row.
        compare(minor.constructor.vertexCount, (3 + 2 + 3 * 2 + 3 * 1) * 2)
        compare(empty.constructor.vertexCount, 0)
    }

    function test_rebuiltByTheBinding() {
        grid.stepsCountX = 4
        compare(grid.constructor.vertexCount, (5 + 2) * 2)
        grid.stepsCountX = 2
    }
}
