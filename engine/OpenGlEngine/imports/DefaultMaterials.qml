pragma Singleton
import QtQuick 2.15
import "Materials"

// Shared stock materials.
QtObject {
    readonly property var solidColor: SolidColorMaterial { color: "black" }
    readonly property var vertexColorAlpha: VertexColorAlphaMaterial {}
    readonly property var vertexColor: VertexColorMaterial {}
}
