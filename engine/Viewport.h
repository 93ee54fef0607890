#pragma once
#include "engine/AbstractCamera.h"
#include "engine/AbstractTransform.h"

#include <QColor>
#include <QPointF>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QVector>

#include <atomic>
#include <memory>

class QMouseEvent;
#include <QOpenGLTexture>
#include <QQuickWindow>

namespace KestrelQt3DEngine {

class IRenderable;
class PickingMeshRenderer;
class PickingPass;

// The QML item that owns a 3D scene and draws it with raw OpenGL into an inverted-Y framebuffer
// object. It is also the root transform (identity) of the scene below it.
class Viewport : public QQuickPaintedItem, public AbstractTransform {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::AbstractTransform)
    Q_PROPERTY(bool renderOnDemand READ renderOnDemand WRITE setRenderOnDemand NOTIFY renderOnDemandChanged)
    Q_PROPERTY(QColor clearColor READ clearColor WRITE setClearColor NOTIFY clearColorChanged)
    Q_PROPERTY(KestrelQt3DEngine::AbstractCamera* camera READ camera WRITE setCamera NOTIFY cameraChanged)
public:
    explicit Viewport(QQuickItem* parent = nullptr);
    ~Viewport() override;

    bool renderOnDemand() const { return m_renderOnDemand; }
    void setRenderOnDemand(bool renderOnDemand);
    QColor clearColor() const { return m_clearColor; }
    void setClearColor(const QColor& clearColor);
    AbstractCamera* camera() const { return m_camera.data(); }
    void setCamera(AbstractCamera* camera);

    void updateFromParent() override {}

    void addOpaqueRenderable(IRenderable* renderable);
    void addTransparentRenderable(IRenderable* renderable);
    void addPickingRenderer(PickingMeshRenderer* renderer);
    void removeOpaqueRenderable(IRenderable* renderable);
    void removeTransparentRenderable(IRenderable* renderable);
    void removePickingRenderer(PickingMeshRenderer* renderer);
    // Ascending by the z of each renderable's world position, so that drawing from the end is
    // back to front for a camera looking along +Z.
    void sortTransparentRenderables();
    // A transparent renderable moved: the next frame sorts once before drawing.
    void transparentOrderChanged() { m_transparentOrderDirty = true; }

    const QVector<IRenderable*>& opaqueRenderables() const { return m_opaque; }
    const QVector<IRenderable*>& transparentRenderables() const { return m_transparent; }
    const QVector<PickingMeshRenderer*>& pickingRenderers() const { return m_picking; }
    QQuickWindow* viewportWindow() const { return m_window.data(); }
    // Where the last press on a child landed, in framebuffer coordinates.
    QPointF lastPressPosition() const { return m_lastPressPosition; }
    // Asks the next frame for the picking renderer under item point (x, y); `picked` answers.
    // A press on any child item asks the same for the pressed point.
    Q_INVOKABLE void pickAt(qreal x, qreal y);
    // Frames painted so far (render thread writes, anyone reads).
    int paintCount() const { return m_paintCount.load(); }

    void paint(QPainter* painter) override;

    // Asks for a frame (GUI thread).
    void requestRepaint();

public slots:
    void markDirty();
    // Destroys the texture on the render thread after the next frame; null is ignored.
    void deleteTexture(QOpenGLTexture* texture);

signals:
    void renderOnDemandChanged();
    void clearColorChanged();
    void cameraChanged();
    // After a pick: the picking renderer drawn under the point, or null where none is.
    void picked(QObject* renderer);

protected:
    void componentComplete() override;
    bool childMouseEventFilter(QQuickItem* item, QEvent* event) override;
    void updatePolish() override;

private slots:
    void viewportSizeChanged();
    void windowChangedSlot(QQuickWindow* window);

private:
    void renderScene();
    // GUI thread: turns the identity read by the picking pass back into its renderer.
    void reportPick(unsigned identity);

    QPointer<QQuickWindow> m_window;
    QPointer<AbstractCamera> m_camera;
    QColor m_clearColor;
    bool m_renderOnDemand = false;
    std::atomic<bool> m_dirty{false};
    QVector<IRenderable*> m_opaque;
    QVector<IRenderable*> m_transparent;
    std::atomic<bool> m_transparentOrderDirty{false};
    QVector<PickingMeshRenderer*> m_picking;
    std::unique_ptr<QMouseEvent> m_lastPress;
    QPointF m_lastPressPosition;
    // Set on the GUI thread, taken by the next paint (the GUI thread waits during paint).
    bool m_pickPending = false;
    QPoint m_pickPixel;
    std::unique_ptr<PickingPass> m_pickingPass;
    std::atomic<int> m_paintCount{0};
};

} // namespace KestrelQt3DEngine
