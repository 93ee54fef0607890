import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Shaders"

// Per-vertex colours with alpha, and screen offsets: one offset unit is half a pixel, so dots
// and text keep their size on screen at any distance.
Material {
    id: material
    shader: Shader {
        vertexShaderCode: "#version 140\n" + ShadersCommon.vertexShaderGlobalUniforms +
            "in vec3 POSITION;\n" +
            "in vec2 SCREENOFFSET;\n" +
            "in vec4 COLOR;\n" +
            "out vec4 vColor;\n" +
            "void main() {\n" +
            "    vec2 PixelSize = vec2(1.0 / RenderTargerSize.x, 1.0 / RenderTargerSize.y);\n" +
            "    gl_Position = ModelViewProjectionMatrix * vec4(POSITION, 1.0);\n" +
            "    gl_Position += gl_Position.w * vec4(PixelSize * SCREENOFFSET, 0.0, 0.0);\n" +
            "    vColor = COLOR;\n" +
            "}\n"
        fragmentShaderCode: "#version 140\n" + ShadersCommon.fragmentPrecision +
            "in vec4 vColor;\n" +
            "out vec4 fragColor;\n" +
            "void main() { fragColor = vColor; }\n"
    }
    properties: material.newMaterialProperties().setBlendState(true).setDepthMask(false)
}
