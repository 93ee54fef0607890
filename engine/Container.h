#pragma once
#include "engine/OpenGlEngineObject.h"

#include <QList>
#include <QQmlListProperty>

namespace KestrelQt3DEngine {

// An engine object that accepts any QML children. The list only records them: the QML engine
// has already made the declaring object their parent, so it neither owns nor reparents them.
class Container : public OpenGlEngineObject {
    Q_OBJECT
    Q_CLASSINFO("DefaultProperty", "descendants")
    Q_PROPERTY(QQmlListProperty<QObject> descendants READ descendants)
public:
    explicit Container(QObject* parent = nullptr);
    QQmlListProperty<QObject> descendants();
    const QList<QObject*>& descendantList() const { return m_descendants; }

private:
    static void appendDescendant(QQmlListProperty<QObject>* list, QObject* object);
    static int descendantCount(QQmlListProperty<QObject>* list);
    static QObject* descendantAt(QQmlListProperty<QObject>* list, int index);
    static void clearDescendants(QQmlListProperty<QObject>* list);

    QList<QObject*> m_descendants;
};

} // namespace KestrelQt3DEngine
