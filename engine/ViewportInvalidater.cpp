#include "engine/ViewportInvalidater.h"

#include "engine/Viewport.h"

namespace KestrelQt3DEngine {

Viewport* findViewport(QObject* start) {
    for (QObject* current = start; current; current = current->parent()) {
        if (auto* viewport = qobject_cast<Viewport*>(current))
            return viewport;
    }
    return nullptr;
}

Viewport* ViewportInvalidater::viewport() const { return m_viewport.data(); }

void ViewportInvalidater::onParentChanged(unsigned) { invalidate(); }

void ViewportInvalidater::attachToParent(QObject* start) {
    detachFromParent();
    m_viewport.clear();
    for (QObject* current = start; current && (!m_viewport || !m_parent); current = current->parent()) {
        if (!m_viewport) {
            if (auto* viewport = qobject_cast<Viewport*>(current))
                m_viewport = viewport;
        }
        if (!m_parent)
            m_parent = qobject_cast<AbstractTransform*>(current);
    }
}

void ViewportInvalidater::invalidate() {
    if (m_viewport)
        m_viewport->markDirty();
}

} // namespace KestrelQt3DEngine
