#include "engine/RenderJobs.h"

#include <QOpenGLContext>
#include <QOpenGLTexture>
#include <QQuickWindow>

namespace KestrelQt3DEngine {

void scheduleAfterRendering(QQuickWindow& window, RenderJob* job) {
    handOff(job);
    window.scheduleRenderJob(job, QQuickWindow::AfterRenderingStage);
    window.update();
}

DeleteTextureTask::DeleteTextureTask(QOpenGLTexture* texture) : m_texture(texture) {}

// Run or not, the wrapper object goes; only with a current context can the texture name go too.
DeleteTextureTask::~DeleteTextureTask() { delete m_texture; }

void DeleteTextureTask::execute() {
    if (m_texture && QOpenGLContext::currentContext())
        m_texture->destroy();
    delete m_texture;
    m_texture = nullptr;
}

DeleteBuffersTask::DeleteBuffersTask(std::vector<QOpenGLBuffer> buffers) : m_buffers(std::move(buffers)) {}

void DeleteBuffersTask::execute() {
    for (QOpenGLBuffer& buffer : m_buffers)
        buffer.destroy();
    m_buffers.clear();
}

} // namespace KestrelQt3DEngine
