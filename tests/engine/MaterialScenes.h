#pragma once
// QML texts of the material tests. They hold GLSL with '#' lines, which moc must not see in a
// file that declares a test class.
#include <QByteArray>

// A 64 x 64 viewport with an orthographic camera (one world unit is one pixel) and a 32 x 32
// quad drawn with the given material.
QByteArray quadScene(const char* materialBody, const char* extra = "");

// A shader whose colour is COLOR * GAIN plus LEVEL / 255 in green, or TINT when USE_TINT.
extern const char* const kUniformColorShader;
