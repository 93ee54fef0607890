#include "MaterialScenes.h"

// A 64 x 64 viewport with an orthographic camera: one world unit is one pixel.
QByteArray quadScene(const char* materialBody, const char* extra) {
    return QByteArray(R"(Item { Viewport { objectName: "viewport"; anchors.fill: parent; clearColor: "black"; camera: cam
    Transform { OrtogonalCamera { id: cam } }
    )") + extra + R"(
    MeshRenderer { objectName: "renderer"
        mesh: Mesh { id: quadMesh; objectName: "mesh"; constructor: quadMesh.newTriangledConstructor().quad(32, 32) }
        material: )" + materialBody + R"( } } })";
}

const char* const kUniformColorShader = R"(Shader {
            vertexShaderCode: "#version 140\n" + ShadersCommon.vertexShaderGlobalUniforms +
                "in vec3 POSITION;\nvoid main() { gl_Position = ModelViewProjectionMatrix * vec4(POSITION, 1.0); }\n"
            fragmentShaderCode: "#version 140\nuniform vec4 COLOR;\nuniform float GAIN;\nuniform int LEVEL;\nuniform vec3 TINT;\nuniform bool USE_TINT;\nout vec4 fragColor;\n" +
                "void main() { fragColor = USE_TINT ? vec4(TINT, 1.0) : vec4(COLOR.rgb * GAIN + vec3(0.0, float(LEVEL) / 255.0, 0.0), COLOR.a); }\n" })";

