#include "engine/ScriptOwnedParts.h"

#include <QObject>
#include <QQmlEngine>

namespace KestrelQt3DEngine {

void releaseReplacedPart(QObject* owner, QObject* replaced) {
    if (replaced && replaced->parent() == owner && QQmlEngine::objectOwnership(replaced) == QQmlEngine::JavaScriptOwnership)
        replaced->setParent(nullptr);
}

void adoptPart(QObject* owner, QObject* part) {
    if (part && !part->parent() && QQmlEngine::objectOwnership(part) == QQmlEngine::JavaScriptOwnership)
        part->setParent(owner);
}

} // namespace KestrelQt3DEngine
