import QtQuick 2.15
import OrbOpenGlEngine 1.0
import "../Shaders"

// Phong lighting of a solid colour. The vertex stage uses MVPMATRIX, which is not one of the
// engine's uniforms and stays unset.
Material {
    id: material
    property color color: "black"
    property vector3d lightPosition: Qt.vector3d(0, 1, 0)
    property vector3d cameraPosition: Qt.vector3d(0, 0, -5)
    property real ambientFactor: 0.6
    property real diffuseFactor: 0.8
    property real specularFactor: 0.4
    readonly property var opaqueProperties: material.newMaterialProperties().setBlendState(false).setDepthMask(true)
    readonly property var translucentProperties: material.newMaterialProperties().setBlendState(true).setDepthMask(false)
    shader: Shader {
        vertexShaderCode:
            "attribute vec3 POSITION;\n" +
            "attribute vec3 NORMAL;\n" +
            "uniform vec4 COLOR;\n" +
            "uniform mat4 MVPMATRIX;\n" +
            "varying vec3 vPosition;\n" +
            "varying vec3 vNormal;\n" +
            "void main() {\n" +
            "    vPosition = POSITION;\n" +
            "    vNormal = NORMAL;\n" +
            "    gl_Position = MVPMATRIX * vec4(POSITION, 1.0);\n" +
            "}\n"
        fragmentShaderCode: ShadersCommon.fragmentPrecision +
            "uniform vec4 COLOR;\n" +
            "uniform float ambientFactor;\n" +
            "uniform float diffuseFactor;\n" +
            "uniform float specularFactor;\n" +
            "uniform vec3 lightPosition;\n" +
            "uniform vec3 cameraPosition;\n" +
            "varying vec3 vPosition;\n" +
            "varying vec3 vNormal;\n" +
            "void main() {\n" +
            "    vec3 N = normalize(vNormal);\n" +
            "    vec3 L = normalize(lightPosition - vPosition);\n" +
            "    vec3 V = normalize(cameraPosition - vPosition);\n" +
            "    vec3 R = reflect(-L, N);\n" +
            "    float diffuse = diffuseFactor * max(dot(N, L), 0.0);\n" +
            "    float specular = specularFactor * pow(max(dot(V, R), 0.0), 50.0);\n" +
            "    vec4 light = vec4(vec3(ambientFactor + diffuse + specular), 1.0);\n" +
            "    gl_FragColor = mix(light, COLOR, 0.6);\n" +
            "}\n"
    }
    properties: (color.a < 1 ? translucentProperties : opaqueProperties)
                .setUniform("COLOR", color).setUniform("ambientFactor", ambientFactor)
                .setUniform("diffuseFactor", diffuseFactor).setUniform("specularFactor", specularFactor)
                .setUniform("lightPosition", lightPosition).setUniform("cameraPosition", cameraPosition)
}
