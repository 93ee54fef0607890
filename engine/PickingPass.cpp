#include "engine/PickingPass.h"

#include "engine/PickingMeshRenderer.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#ifndef GL_LINE_SMOOTH
#define GL_LINE_SMOOTH 0x0B20
#endif

namespace KestrelQt3DEngine {

PickingPass::PickingPass() = default;
PickingPass::~PickingPass() = default;

unsigned PickingPass::identityOfPixel(const unsigned char rgba[4]) {
    if (rgba[3] != 255)
        return 0;
    return unsigned(rgba[0]) | (unsigned(rgba[1]) << 8) | (unsigned(rgba[2]) << 16);
}

unsigned PickingPass::pick(const QVector<PickingMeshRenderer*>& renderers, AbstractCamera* camera, QSize size, QPoint pixel) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context || renderers.isEmpty() || size.isEmpty())
        return 0;
    if (pixel.x() < 0 || pixel.y() < 0 || pixel.x() >= size.width() || pixel.y() >= size.height())
        return 0;
    QOpenGLFunctions* gl = context->functions();

    GLint previousFramebuffer = 0;
    GLint previousViewport[4] = {0, 0, 0, 0};
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);
    gl->glGetIntegerv(GL_VIEWPORT, previousViewport);
    const bool blend = gl->glIsEnabled(GL_BLEND);
    const bool dither = gl->glIsEnabled(GL_DITHER);
    const bool lineSmooth = gl->glIsEnabled(GL_LINE_SMOOTH);
    const bool cullFace = gl->glIsEnabled(GL_CULL_FACE);

    // The target follows the viewport size; a resize makes a new one at the next pick.
    if (!m_target || m_target->size() != size)
        m_target = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::Depth);
    m_target->bind();
    gl->glViewport(0, 0, size.width(), size.height());
    // Exact colours: no blending, dithering or smoothed (coverage-faded) edges; both faces
    // count, whatever the material culls.
    gl->glDisable(GL_BLEND);
    gl->glDisable(GL_DITHER);
    gl->glDisable(GL_LINE_SMOOTH);
    gl->glDisable(GL_CULL_FACE);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glDepthMask(GL_TRUE);
    gl->glClearColor(0, 0, 0, 0);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The same order as the opaque pass: the last registered first.
    for (int i = renderers.size() - 1; i >= 0; --i)
        renderers[i]->renderPicking(camera);

    unsigned char rgba[4] = {0, 0, 0, 0};
    // Framebuffer rows count from the bottom.
    gl->glReadPixels(pixel.x(), size.height() - 1 - pixel.y(), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);

    gl->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
    gl->glViewport(previousViewport[0], previousViewport[1], previousViewport[2], previousViewport[3]);
    if (blend)
        gl->glEnable(GL_BLEND);
    if (dither)
        gl->glEnable(GL_DITHER);
    if (lineSmooth)
        gl->glEnable(GL_LINE_SMOOTH);
    if (cullFace)
        gl->glEnable(GL_CULL_FACE);
    return identityOfPixel(rgba);
}

} // namespace KestrelQt3DEngine
