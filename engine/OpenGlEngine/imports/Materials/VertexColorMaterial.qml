import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Shaders"

// Per-vertex colours, opaque.
Material {
    id: material
    shader: Shader {
        vertexShaderCode: "#version 140\n" + ShadersCommon.vertexShaderGlobalUniforms +
            "in vec3 POSITION;\n" +
            "in vec2 SCREENOFFSET;\n" +
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
    properties: material.newMaterialProperties().setBlendState(false).setDepthMask(true)
}
