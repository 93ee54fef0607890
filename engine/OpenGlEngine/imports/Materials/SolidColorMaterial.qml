import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Shaders"

// Blends and leaves the depth buffer alone only when the colour is translucent. The shader
// reads COLOR as a vertex attribute, so the uniform of that name does not reach it and the
// vertex colours show.
Material {
    id: material
    property color color: "black"
    readonly property var opaqueProperties: material.newMaterialProperties().setBlendState(false).setDepthMask(true)
    readonly property var translucentProperties: material.newMaterialProperties().setBlendState(true).setDepthMask(false)
    shader: Shader {
        vertexShaderCode: "#version 140\n" + ShadersCommon.vertexShaderGlobalUniforms +
            "in vec3 POSITION;\n" +
            "in vec4 COLOR;\n" +
            "out vec4 vColor;\n" +
            "void main() {\n" +
            "    gl_Position = ModelViewProjectionMatrix * vec4(POSITION, 1.0);\n" +
            "    vColor = COLOR;\n" +
            "}\n"
        fragmentShaderCode: "#version 140\n" + ShadersCommon.fragmentPrecision +
            "in vec4 vColor;\n" +
            "out vec4 fragColor;\n" +
            "void main() { fragColor = vColor; }\n"
    }
    properties: (color.a < 1 ? translucentProperties : opaqueProperties).setUniform("COLOR", color)
}
