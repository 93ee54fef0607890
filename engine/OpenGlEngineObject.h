#pragma once
#include <QObject>

namespace KestrelQt3DEngine {

// Base of the engine objects that carry no transform. QML code reads properties of the
// declaring object through nativeParent (for example a mesh inside a renderer).
class OpenGlEngineObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* nativeParent READ nativeParent NOTIFY nativeParentChanged)
public:
    explicit OpenGlEngineObject(QObject* parent = nullptr);
    QObject* nativeParent() const { return parent(); }

signals:
    void nativeParentChanged();
};

} // namespace KestrelQt3DEngine
