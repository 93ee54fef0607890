#include "engine/OGLTexture.h"

#include "engine/RenderJobs.h"
#include "engine/TextureConstructors.h"

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>

namespace KestrelQt3DEngine {

OGLTexture::OGLTexture(QObject* parent) : Container(parent), m_texture(new QOpenGLTexture(QOpenGLTexture::Target2D)) {}

// The texture alone releases its OpenGL object, once, whoever else drew with it: a texture
// that never reached OpenGL has nothing on the render thread; a created one goes to the render
// thread of the window it was last drawn in. Without that window (it closed, and its context
// with it) only the wrapper goes. textureDestroyed still announces the going texture.
OGLTexture::~OGLTexture() {
    std::lock_guard<std::mutex> lock(m_mutex);
    emit textureDestroyed(m_texture);
    if (m_texture->isCreated() && m_window) {
        scheduleAfterRendering(*m_window, new DeleteTextureTask(m_texture));
    } else {
        DeleteTextureTask(m_texture).run();
    }
    m_texture = nullptr;
}

QObject* OGLTexture::constructorObject() const { return m_constructor; }

void OGLTexture::setConstructorObject(QObject* constructor) {
    setTextureConstructor(qobject_cast<AbstractTextureConstructor*>(constructor));
}

void OGLTexture::setTextureConstructor(AbstractTextureConstructor* constructor) {
    m_constructor = constructor;
    m_needsRebuild = true;
    emit textureUpdated();
}

void OGLTexture::setMinificationFilter(int filter) {
    if (filter == m_minificationFilter)
        return;
    m_minificationFilter = filter;
    m_needsRebuild = true;
}

void OGLTexture::setMagnificationFilter(int filter) {
    if (filter == m_magnificationFilter)
        return;
    m_magnificationFilter = filter;
    m_needsRebuild = true;
}

BytesTextureConstructor* OGLTexture::newBytesTextureConstructor() { return new BytesTextureConstructor(this); }
ImageTextureConstructor* OGLTexture::newImageTextureConstructor() { return new ImageTextureConstructor(this); }
RgbaTextureConstructor* OGLTexture::newRgbaTextureConstructor() { return new RgbaTextureConstructor(this); }

void OGLTexture::invalidate() { m_needsRebuild = true; }

bool OGLTexture::bind(QOpenGLShaderProgram* program, int unit, int uniformLocation, QQuickWindow* window) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!program || !QOpenGLContext::currentContext() || !m_constructor || !m_texture)
        return false;
    if (window)
        m_window = window;
    if (m_needsRebuild) {
        if (m_texture->isCreated())
            m_texture->destroy();
        m_texture->setMinMagFilters(static_cast<QOpenGLTexture::Filter>(m_minificationFilter),
                                    static_cast<QOpenGLTexture::Filter>(m_magnificationFilter));
        m_constructor->fill(m_texture);
        m_texture->create();
        m_needsRebuild = false;
    }
    m_texture->bind(unit, QOpenGLTexture::ResetTextureUnit);
    m_boundUnit = unit;
    program->setUniformValue(uniformLocation, unit);
    return true;
}

void OGLTexture::release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_texture || !m_texture->isCreated() || m_boundUnit < 0)
        return;
    if (m_texture->isBound(m_boundUnit))
        m_texture->release(m_boundUnit, QOpenGLTexture::ResetTextureUnit);
    m_boundUnit = -1;
}

} // namespace KestrelQt3DEngine
