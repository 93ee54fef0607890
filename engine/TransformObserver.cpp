#include "engine/TransformObserver.h"

#include "engine/AbstractTransform.h"

namespace KestrelQt3DEngine {

AbstractTransform* findTransform(QObject* start) {
    for (QObject* current = start; current; current = current->parent()) {
        if (auto* transform = qobject_cast<AbstractTransform*>(current))
            return transform;
    }
    return nullptr;
}

TransformObserver::~TransformObserver() { detachFromParent(); }

void TransformObserver::detachFromParent() {
    if (m_parent) {
        m_parent->removeObserver(this);
        m_parent = nullptr;
    }
}

void TransformObserver::attachToParent(QObject* start) {
    detachFromParent();
    m_parent = findTransform(start);
    if (m_parent)
        m_parent->addObserver(this);
    m_dirtyFlags = AllDirty;
}

} // namespace KestrelQt3DEngine
