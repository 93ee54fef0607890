#pragma once
#include "engine/TransformObserver.h"

#include <QPointer>

namespace KestrelQt3DEngine {

class Viewport;

// The link of a scene object that affects the picture to its viewport: it records the nearest
// viewport and transform above the object and repaints the viewport when the transform changes.
class ViewportInvalidater : public TransformObserver {
public:
    void onParentChanged(unsigned flags) override;
    // Walks up from start until both a viewport and a transform are found (the viewport may be
    // both); registers with the transform.
    void attachToParent(QObject* start) override;
    virtual void invalidate();

    Viewport* viewport() const;
    AbstractTransform* transform() const { return m_parent; }

protected:
    void forgetViewport() { m_viewport.clear(); }

private:
    QPointer<Viewport> m_viewport;
};

// The first Viewport from start upwards (start included).
Viewport* findViewport(QObject* start);

} // namespace KestrelQt3DEngine
