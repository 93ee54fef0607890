#pragma once
#include <QObject>
#include <QSize>

class QOpenGLTexture;

namespace KestrelQt3DEngine {
class AbstractTextureConstructor;
}

// Declared as an interface as well, so that QML can register it as one.
Q_DECLARE_INTERFACE(KestrelQt3DEngine::AbstractTextureConstructor, "com.kestrel.Qt.AbstractTextureConstructor")

namespace KestrelQt3DEngine {

// Fills an OpenGL texture with its data (render thread, context current).
class AbstractTextureConstructor : public QObject {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::AbstractTextureConstructor)
public:
    explicit AbstractTextureConstructor(QObject* parent = nullptr);
    virtual void fill(QOpenGLTexture* texture) = 0;

    QSize textureSize() const { return m_textureSize; }

protected:
    // Shared by the byte and float constructors: size, format, storage, then the data.
    void fillRaw(QOpenGLTexture* texture, const void* data, qsizetype size);
    // Bytes the size and formats call for (0 for an invalid or empty size).
    qsizetype requiredBytes() const;

    QSize m_textureSize;
    int m_textureFormat = 0x8814;  // GL_RGBA32F
    int m_pixelFormat = 0x1908;    // GL_RGBA
    int m_pixelType = 0x1406;      // GL_FLOAT
};

} // namespace KestrelQt3DEngine
