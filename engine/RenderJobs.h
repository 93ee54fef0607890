#pragma once
#include <QOpenGLBuffer>
#include <QRunnable>

#include <memory>
#include <vector>

#include "engine/ThreadHandOff.h"

class QOpenGLTexture;
class QQuickWindow;

namespace KestrelQt3DEngine {

// A job made on the GUI thread and run, then deleted, on the render thread. Give it to
// scheduleAfterRendering; run() executes it at once on the calling thread.
class RenderJob : public QRunnable {
public:
    void run() final {
        takeOver(this);
        execute();
    }

protected:
    virtual void execute() = 0;
};

// Queues the job on the window's render thread after its next frame and asks for that frame.
// The window's job list passes the job over under the toolkit's lock, which the hand-off states.
void scheduleAfterRendering(QQuickWindow& window, RenderJob* job);

// Destroys an OpenGL texture on the render thread, where its context is current.
class DeleteTextureTask : public RenderJob {
public:
    explicit DeleteTextureTask(QOpenGLTexture* texture);
    ~DeleteTextureTask() override;

protected:
    void execute() override;

private:
    QOpenGLTexture* m_texture;
};

// Destroys OpenGL buffers on the render thread. A job that never runs (its window went away)
// drops the buffers without a context; the toolkit then frees their names with the share group.
class DeleteBuffersTask : public RenderJob {
public:
    explicit DeleteBuffersTask(std::vector<QOpenGLBuffer> buffers);

protected:
    void execute() override;

private:
    std::vector<QOpenGLBuffer> m_buffers;
};

// Deletes an object that holds OpenGL resources on the render thread. A job that never runs
// deletes it without a context; the toolkit then frees the names with the share group.
template <class T>
class DeleteOnRenderThreadTask : public RenderJob {
public:
    explicit DeleteOnRenderThreadTask(std::unique_ptr<T> object) : m_object(std::move(object)) {}

protected:
    void execute() override { m_object.reset(); }

private:
    std::unique_ptr<T> m_object;
};

} // namespace KestrelQt3DEngine
