#include "engine/Viewport.h"

#include "engine/IRenderable.h"
#include "engine/PickingMeshRenderer.h"
#include "engine/PickingPass.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTexture>
#include <QPainter>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "engine/RenderJobs.h"
#include "engine/ThreadHandOff.h"

#ifndef GL_LINE_SMOOTH
#define GL_LINE_SMOOTH 0x0B20
#endif
#ifndef GL_LINE_SMOOTH_HINT
#define GL_LINE_SMOOTH_HINT 0x0C52
#endif

namespace KestrelQt3DEngine {

Viewport::Viewport(QQuickItem* parent) : QQuickPaintedItem(parent), m_pickingPass(std::make_unique<PickingPass>()) {
    qRegisterMetaType<QOpenGLTexture*>("QOpenGLTexture*");
    connect(this, &QQuickItem::windowChanged, this, &Viewport::windowChangedSlot);
    setRenderTarget(QQuickPaintedItem::InvertedYFramebufferObject);
    setAntialiasing(true);
    setOpaquePainting(false);
    // The picture is drawn at the item's size and shown one texel to one pixel: levels below the
    // first would never be sampled, and making them cost a pass over the picture every paint.
    setMipmap(false);
    // No fill before paint(): renderScene() clears the whole target itself, and a fill of the
    // multisampled target costs as much as a second clear.
    setFillColor(QColor());
    setFiltersChildMouseEvents(true);
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::AllButtons);
    setFlag(QQuickItem::ItemAcceptsInputMethod, true);
}

// The renderables are not owned; they unregister themselves, or find the viewport gone.
// The item base still emits size and window signals while it is destroyed; they must not reach
// the slots of this already destroyed part.
Viewport::~Viewport() {
    disconnect(this, nullptr, this, nullptr);
    m_opaque.clear();
    m_transparent.clear();
    m_picking.clear();
    // The picking target belongs to the render thread's context.
    if (m_window) {
        scheduleAfterRendering(*m_window, new DeleteOnRenderThreadTask<PickingPass>(std::move(m_pickingPass)));
    }
}

void Viewport::componentComplete() {
    connect(this, &QQuickItem::widthChanged, this, &Viewport::viewportSizeChanged);
    connect(this, &QQuickItem::heightChanged, this, &Viewport::viewportSizeChanged);
    QQuickPaintedItem::componentComplete();
    notifyObservers(7);
}

void Viewport::setRenderOnDemand(bool renderOnDemand) {
    m_renderOnDemand = renderOnDemand;
    emit renderOnDemandChanged();
}

void Viewport::setClearColor(const QColor& clearColor) {
    if (clearColor == m_clearColor)
        return;
    m_clearColor = clearColor;
    emit clearColorChanged();
    requestRepaint();
}

void Viewport::setCamera(AbstractCamera* camera) {
    if (camera == m_camera)
        return;
    m_camera = camera;
    emit cameraChanged();
    requestRepaint();
}

// The polish step runs on the GUI thread just before the scene graph synchronises, the grab of
// an image included; the paint that follows takes the scene over from there.
void Viewport::requestRepaint() {
    polish();
    update();
}

void Viewport::updatePolish() { handOff(this); }

void Viewport::markDirty() {
    if (m_renderOnDemand && !m_dirty.exchange(true))
        requestRepaint();
}

void Viewport::addOpaqueRenderable(IRenderable* renderable) {
    m_opaque.append(renderable);
    requestRepaint();
}

void Viewport::addTransparentRenderable(IRenderable* renderable) {
    m_transparent.append(renderable);
    sortTransparentRenderables();
    requestRepaint();
}

void Viewport::addPickingRenderer(PickingMeshRenderer* renderer) {
    m_picking.append(renderer);
    requestRepaint();
}

void Viewport::removeOpaqueRenderable(IRenderable* renderable) {
    if (m_opaque.removeOne(renderable))
        requestRepaint();
}

void Viewport::removeTransparentRenderable(IRenderable* renderable) {
    if (m_transparent.removeOne(renderable))
        requestRepaint();
}

void Viewport::removePickingRenderer(PickingMeshRenderer* renderer) {
    if (m_picking.removeOne(renderer))
        requestRepaint();
}

// A renderable without a transform is drawn with the identity model matrix, so it sorts at
// z = 0; a key for every entry keeps the ordering strict and weak.
void Viewport::sortTransparentRenderables() {
    m_transparentOrderDirty = false;
    std::vector<std::pair<float, IRenderable*>> keyed;
    keyed.reserve(size_t(m_transparent.size()));
    for (IRenderable* renderable : qAsConst(m_transparent)) {
        AbstractTransform* transform = renderable ? renderable->getTransform() : nullptr;
        keyed.emplace_back(transform ? transform->getPosition().z() : 0.0f, renderable);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i)
        m_transparent[int(i)] = keyed[i].second;
}

void Viewport::paint(QPainter* painter) {
    takeOver(this);
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRect rect = painter->viewport();
    painter->beginNativePainting();
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    gl->glViewport(rect.x(), rect.y(), rect.width() + rect.width() % 2, rect.height() + rect.height() % 2);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glClearDepthf(1.0f);
    gl->glDepthFunc(GL_LEQUAL);
    gl->glFrontFace(GL_CW);
    renderScene();
    if (m_pickPending) {
        m_pickPending = false;
        const QSize size(int(std::ceil(width())), int(std::ceil(height())));
        const unsigned identity = m_pickingPass->pick(m_picking, m_camera.data(), size, m_pickPixel);
        QMetaObject::invokeMethod(this, [this, identity] { reportPick(identity); }, Qt::QueuedConnection);
    }
    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_CULL_FACE);
    painter->endNativePainting();

    ++m_paintCount;
    const bool continuous = !m_renderOnDemand;
    m_dirty = false;
    if (continuous)
        QMetaObject::invokeMethod(this, [this] { requestRepaint(); }, Qt::QueuedConnection);
}

void Viewport::renderScene() {
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    // The window composites the viewport's image as premultiplied colour, so the clear colour
    // is premultiplied too: a transparent clear of (1, 1, 1, 0) would otherwise add white light
    // to every pixel a line covers only in part, and thin lines vanish on a light background.
    const QColor clear = m_clearColor.isValid() ? m_clearColor : QColor(0, 0, 0, 255);
    const float alpha = float(clear.alphaF());
    gl->glClearColor(float(clear.redF()) * alpha, float(clear.greenF()) * alpha, float(clear.blueF()) * alpha, alpha);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl->glEnable(GL_LINE_SMOOTH);
    gl->glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    AbstractCamera* camera = m_camera.data();
    // The GUI thread waits while the scene is drawn, so the list can be sorted here.
    if (m_transparentOrderDirty)
        sortTransparentRenderables();
    for (int i = m_opaque.size() - 1; i >= 0; --i)
        m_opaque[i]->render(camera);
    for (int i = m_transparent.size() - 1; i >= 0; --i)
        m_transparent[i]->render(camera);
}

void Viewport::deleteTexture(QOpenGLTexture* texture) {
    if (!texture)
        return;
    if (!m_window) {
        // Without a window no render thread will ever run the job; the wrapper still goes.
        delete texture;
        return;
    }
    scheduleAfterRendering(*m_window, new DeleteTextureTask(texture));
}

void Viewport::pickAt(qreal x, qreal y) {
    m_pickPixel = QPoint(int(std::floor(x)), int(std::floor(y)));
    m_pickPending = true;
    requestRepaint();
}

void Viewport::reportPick(unsigned identity) {
    PickingMeshRenderer* found = nullptr;
    for (PickingMeshRenderer* renderer : qAsConst(m_picking))
        if (identity != 0 && unsigned(renderer->pickingId()) == identity)
            found = renderer;
    emit picked(found);
}

bool Viewport::childMouseEventFilter(QQuickItem* item, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        const QPointF local = mapFromItem(item, press->localPos());
        m_lastPressPosition = QPointF(local.x(), height() - local.y() - 1);
        m_lastPress.reset(new QMouseEvent(press->type(), press->localPos(), press->windowPos(), press->screenPos(),
                                          press->button(), press->buttons(), press->modifiers(), press->source()));
        if (!m_picking.isEmpty())
            pickAt(local.x(), local.y());
        requestRepaint();
    }
    return false;
}

// The only size-dependent render resource, the picking target, is remade by the render thread
// at the next pick; cameras follow the size themselves.
void Viewport::viewportSizeChanged() {}

void Viewport::windowChangedSlot(QQuickWindow* window) {
    if (m_window)
        disconnect(m_window, &QQuickWindow::afterAnimating, this, nullptr);
    m_window = window;
    // Every frame of the window, not only those this viewport asked for, synchronises right
    // after this signal.
    if (window)
        connect(window, &QQuickWindow::afterAnimating, this, [this] { handOff(this); }, Qt::DirectConnection);
}

} // namespace KestrelQt3DEngine
