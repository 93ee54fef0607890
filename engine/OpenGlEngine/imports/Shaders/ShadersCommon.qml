pragma Singleton
import QtQuick 2.15

// The engine's fixed uniforms at their explicit locations, for the vertex stage of every
// material. Inserted right after the "#version" line: the extension lines must precede any
// other token of the shader.
QtObject {
    readonly property string vertexShaderGlobalUniforms:
        "#extension GL_ARB_explicit_uniform_location : enable\n" +
        "#extension GL_ARB_explicit_attrib_location : enable\n" +
        "layout(location = 512) uniform mat4 ModelViewProjectionMatrix;\n" +
        "layout(location = 516) uniform mat4 ViewProjectionMatrix;\n" +
        "layout(location = 520) uniform mat4 ViewMatrix;\n" +
        "layout(location = 524) uniform mat4 ProjectionMatrix;\n" +
        "layout(location = 528) uniform mat4 ModelMatrix;\n" +
        "layout(location = 532) uniform vec2 RenderTargerSize;\n"
    readonly property string fragmentPrecision:
        "#ifdef GL_ES\n" +
        "precision lowp int;\n" +
        "precision highp float;\n" +
        "#endif\n"
}
