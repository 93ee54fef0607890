#pragma once
#include <QPoint>
#include <QSize>
#include <QVector>

#include <memory>

class QOpenGLFramebufferObject;

namespace KestrelQt3DEngine {

class AbstractCamera;
class PickingMeshRenderer;

// Draws the picking renderers of a viewport in their identity colours into an offscreen
// target of the viewport's size and reads back the colour under one pixel. Render thread
// only, with the viewport's context current.
class PickingPass {
public:
    PickingPass();
    ~PickingPass();
    PickingPass(const PickingPass&) = delete;
    PickingPass& operator=(const PickingPass&) = delete;

    // The identity of the renderer drawn at item pixel `pixel` (origin top-left) of a viewport
    // of `size` pixels, or 0 where none is. The caller's framebuffer, viewport rectangle and
    // blend, dither, line-smooth and cull state are restored afterwards.
    unsigned pick(const QVector<PickingMeshRenderer*>& renderers, AbstractCamera* camera, QSize size, QPoint pixel);

    // Identity encoded in a read-back pixel (red bits 0-7, green 8-15, blue 16-23); 0 unless
    // the alpha is 255, which every identity colour has and the cleared target has not.
    static unsigned identityOfPixel(const unsigned char rgba[4]);

private:
    std::unique_ptr<QOpenGLFramebufferObject> m_target;
};

} // namespace KestrelQt3DEngine
