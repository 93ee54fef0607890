#pragma once
#include <QObject>

namespace KestrelQt3DEngine {

// Names QML can mention; filters and formats themselves are passed as OpenGL enum values.
class TextureFilter : public QObject {
    Q_OBJECT
};

class TextureFormat : public QObject {
    Q_OBJECT
};

class TexturePixelFormat : public QObject {
    Q_OBJECT
};

class TexturePixelType : public QObject {
    Q_OBJECT
};

} // namespace KestrelQt3DEngine
