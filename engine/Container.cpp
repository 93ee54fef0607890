#include "engine/Container.h"

namespace KestrelQt3DEngine {

Container::Container(QObject* parent) : OpenGlEngineObject(parent) {}

QQmlListProperty<QObject> Container::descendants() {
    return QQmlListProperty<QObject>(this, nullptr, &Container::appendDescendant, &Container::descendantCount,
                                     &Container::descendantAt, &Container::clearDescendants);
}

void Container::appendDescendant(QQmlListProperty<QObject>* list, QObject* object) {
    static_cast<Container*>(list->object)->m_descendants.append(object);
}

int Container::descendantCount(QQmlListProperty<QObject>* list) {
    return static_cast<Container*>(list->object)->m_descendants.size();
}

QObject* Container::descendantAt(QQmlListProperty<QObject>* list, int index) {
    return static_cast<Container*>(list->object)->m_descendants.value(index, nullptr);
}

void Container::clearDescendants(QQmlListProperty<QObject>* list) {
    static_cast<Container*>(list->object)->m_descendants.clear();
}

} // namespace KestrelQt3DEngine
