import QtQuick 2.15
import OrbOpenGlEngine 1.0

// A grid in the XY plane centred on the origin, stepsCountX x stepsCountY cells of stepSize,
// with optional minor lines between the major ones.
Mesh {
    id: mesh
    property color color: Qt.rgba(0, 0, 0, 0.6)
    property int stepsCountX: 4
    property int stepsCountY: 4
    property real stepSize: 0.2
    property color minorGridColor: Qt.rgba(1, 0, 0, 0.5)
    property int minorSegmentsCount: -1
    readonly property var geometry: mesh.newLinedConstructor()

    constructor: build(geometry, color, stepsCountX, stepsCountY, stepSize, minorGridColor, minorSegmentsCount)

    function build(g, color, countX, countY, step, minorColor, minorCount) {
        g.clear()
        if (countX <= 0 || countY <= 0 || step <= 0)
            return g
        g.setCurrentColor(color)
        var width = countX * step
        var height = countY * step
        var i, k, x, y
        for (i = 0; i <= countX; ++i) {
            x = -width / 2 + i * step
            g.line(Qt.vector3d(x, -height / 2, 0), Qt.vector3d(x, height / 2, 0))
            if (minorCount > -1 && i < countX) {
                g.setCurrentColor(minorColor)
                for (k = 1; k < minorCount; ++k)
                    g.line(Qt.vector3d(x + k * step / minorCount, -height / 2, 0), Qt.vector3d(x + k * step / minorCount, height / 2, 0))
                g.setCurrentColor(color)
            }
        }
        for (i = 0; i <= countY; ++i) {
            y = -height / 2 + i * step
            g.line(Qt.vector3d(-width / 2, y, 0), Qt.vector3d(width / 2, y, 0))
            if (minorCount > -1 && i < countY) {
                g.setCurrentColor(minorColor)
                for (k = 1; k < minorCount; ++k)
                    g.line(Qt.vector3d(-width / 2, y + k * step / minorCount, 0), Qt.vector3d(width / 2, y + k * step / minorCount, 0))
                g.setCurrentColor(color)
            }
        }
        return g
    }
}
