import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Shaders"

// The texture's own colours, blended. The texture is stored (setTexture) and also bound as the
// sampler uniform: textures reach a shader only through uniforms.
Material {
    id: material
    property var texture: null
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
            "in vec2 vTexCoord;\n" +
            "out vec4 fragColor;\n" +
            "void main() { fragColor = texture(TEXTURE, vTexCoord); }\n"
    }
    // One properties object, given the new texture on each change.
    readonly property var materialProperties: material.newMaterialProperties().setBlendState(true).setDepthMask(false)
    properties: materialProperties.setTexture(texture)
                .setUniform("TEXTURE", texture)
}
