#pragma once
#include "engine/Container.h"

#include <mutex>

class QOpenGLShaderProgram;
#include <QOpenGLTexture>
#include <QPointer>
#include <QQuickWindow>

namespace KestrelQt3DEngine {

class AbstractTextureConstructor;
class BytesTextureConstructor;
class ImageTextureConstructor;
class RgbaTextureConstructor;

// A 2D OpenGL texture filled by a texture constructor. The OpenGL object is (re)built lazily on
// the render thread at the next bind after the constructor, the filters or invalidate() change;
// it is destroyed by the texture itself, on the render thread of the window it was last drawn in.
class OGLTexture : public Container {
    Q_OBJECT
    Q_PROPERTY(QObject* constructor READ constructorObject WRITE setConstructorObject NOTIFY textureUpdated)
    Q_PROPERTY(int minificationFilter READ minificationFilter WRITE setMinificationFilter)
    Q_PROPERTY(int magnificationFilter READ magnificationFilter WRITE setMagnificationFilter)
public:
    explicit OGLTexture(QObject* parent = nullptr);
    ~OGLTexture() override;

    AbstractTextureConstructor* textureConstructor() const { return m_constructor; }
    QObject* constructorObject() const;
    void setConstructorObject(QObject* constructor);
    void setTextureConstructor(AbstractTextureConstructor* constructor);
    int minificationFilter() const { return m_minificationFilter; }
    void setMinificationFilter(int filter);
    int magnificationFilter() const { return m_magnificationFilter; }
    void setMagnificationFilter(int filter);

    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* newBytesTextureConstructor();
    Q_INVOKABLE KestrelQt3DEngine::ImageTextureConstructor* newImageTextureConstructor();
    Q_INVOKABLE KestrelQt3DEngine::RgbaTextureConstructor* newRgbaTextureConstructor();

    // Render thread: rebuilds when needed, binds to unit and points uniformLocation at it.
    // Returns whether the texture is bound. `window` is the one being drawn, where the
    // texture is released when it goes without a viewport to take it.
    bool bind(QOpenGLShaderProgram* program, int unit, int uniformLocation, QQuickWindow* window = nullptr);
    // Render thread: unbinds it from the unit of the last bind.
    void release();
    bool needsRebuild() const { return m_needsRebuild; }

public slots:
    void invalidate();

signals:
    void textureUpdated();
    // The texture is going; its OpenGL object stays the texture's to release.
    void textureDestroyed(QOpenGLTexture* texture);

private:
    std::mutex m_mutex;
    QOpenGLTexture* m_texture;
    QPointer<QQuickWindow> m_window;  // where it was last drawn
    bool m_needsRebuild = false;
    int m_boundUnit = -1;
    AbstractTextureConstructor* m_constructor = nullptr;
    int m_minificationFilter = 0x2600;  // GL_NEAREST
    int m_magnificationFilter = 0x2600;
};

} // namespace KestrelQt3DEngine
