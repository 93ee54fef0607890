import QtQuick 2.15
import OrbOpenGlEngine 1.0

// Loads ":/imports/ObjFiles/monkey.obj"; the program ships no such resource, so the mesh
// stays empty and draws nothing.
Mesh {
    id: mesh
    property real a: 2.0
    constructor: mesh.newTriangledConstructor().loadMeshFromObjFile(":/imports/ObjFiles/monkey.obj")
}
