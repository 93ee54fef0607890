#pragma once
// Helpers for engine tests: QML components made from text, a view to render them, and a
// renderable of the tests' own that records what the viewport asks of it.
#include "engine/AbstractCamera.h"
#include "engine/IRenderable.h"
#include "engine/ViewportInvalidater.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QString>
#include <QVector>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace EngineTest {

// Wraps body in the imports every engine test scene uses.
QByteArray qmlScene(const char* body);

// Creates the object of a QML text; null (and a printed error) when it does not load.
QObject* createObject(QQmlEngine& engine, const char* body);

// A shown view of the given root item size with a scene loaded into it.
class SceneView {
public:
    explicit SceneView(const char* body, int width = 64, int height = 64);
    ~SceneView();
    bool ok() const;
    QQuickItem* root() const;
    template <class T>
    T* find(const char* objectName) const { return root()->findChild<T*>(QString::fromLatin1(objectName)); }
    // Renders a frame and reads the window back.
    QImage grab();
    QQuickView& view() { return *m_view; }

private:
    std::unique_ptr<QQuickView> m_view;
};

// Ends the process with a message when its scope lasts longer than the given time, so that a
// deadlock fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(int seconds, const char* what);
    ~Watchdog();

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// Draws through a callback and counts its frames. Registered as an opaque or transparent
// renderable of the viewport it is declared in.
class ProbeRenderable : public QObject, public KestrelQt3DEngine::ViewportInvalidater, public KestrelQt3DEngine::IRenderable {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::IRenderable)
public:
    ProbeRenderable(QObject* parent, bool transparent);
    ~ProbeRenderable() override;

    void render(KestrelQt3DEngine::AbstractCamera* camera) override;
    KestrelQt3DEngine::AbstractTransform* getTransform() override { return transform(); }
    KestrelQt3DEngine::Mesh* getMesh() override { return nullptr; }

    std::function<void(KestrelQt3DEngine::AbstractCamera*)> onRender;
    int renderCount = 0;
    // Order in which all probes were drawn.
    static QVector<ProbeRenderable*>& drawOrder();

private:
    bool m_transparent;
};

} // namespace EngineTest
