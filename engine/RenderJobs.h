#pragma once
#include <QOpenGLBuffer>
#include <QRunnable>

#include <memory>
#include <vector>

class QOpenGLTexture;

namespace KestrelQt3DEngine {

// Destroys an OpenGL texture on the render thread, where its context is current.
class DeleteTextureTask : public QRunnable {
public:
    explicit DeleteTextureTask(QOpenGLTexture* texture);
    ~DeleteTextureTask() override;
    void run() override;

private:
    QOpenGLTexture* m_texture;
};

// Destroys OpenGL buffers on the render thread. A job that never runs (its window went away)
// drops the buffers without a context; the toolkit then frees their names with the share group.
class DeleteBuffersTask : public QRunnable {
public:
    explicit DeleteBuffersTask(std::vector<QOpenGLBuffer> buffers);
    void run() override;

private:
    std::vector<QOpenGLBuffer> m_buffers;
};

// Deletes an object that holds OpenGL resources on the render thread. A job that never runs
// deletes it without a context; the toolkit then frees the names with the share group.
template <class T>
class DeleteOnRenderThreadTask : public QRunnable {
public:
    explicit DeleteOnRenderThreadTask(std::unique_ptr<T> object) : m_object(std::move(object)) {}
    void run() override { m_object.reset(); }

private:
    std::unique_ptr<T> m_object;
};

} // namespace KestrelQt3DEngine
