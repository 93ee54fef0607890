import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Shaders"

// A grey-scale display of the texture's red channel; flipY turns the image upside down, for
// textures whose first row is the top of the picture.
Material {
    id: material
    property var texture: null
    property bool flipY: false
    shader: Shader {
        vertexShaderCode: "#version 140\n" + ShadersCommon.vertexShaderGlobalUniforms +
            "in vec3 POSITION;\n" +
            "in vec2 TEXCOORD;\n" +
            "out vec2 vTexCoord;\n" +
            "void main() {\n" +
            "    gl_Position = ModelViewProjectionMatrix * vec4(POSITION, 1.0);\n" +
            "    vTexCoord = TEXCOORD;\n" +
            "}\n"
        fragmentShaderCode: "#version 140\n" + ShadersCommon.fragmentPrecision +
            "uniform sampler2D TEXTURE;\n" +
            "uniform bool flipY;\n" +
            "in vec2 vTexCoord;\n" +
            "out vec4 fragColor;\n" +
            "void main() {\n" +
            "    vec2 tc = vTexCoord;\n" +
            "    if (flipY) tc.y = 1.0 - tc.y;\n" +
            "    float r = texture(TEXTURE, tc).r;\n" +
            "    fragColor = vec4(r, r, r, 1.0);\n" +
            "}\n"
    }
    // One properties object, given the new values on each change.
    readonly property var materialProperties: material.newMaterialProperties().setBlendState(false).setDepthMask(true)
    properties: materialProperties.setUniform("TEXTURE", texture).setUniform("flipY", flipY)
}
