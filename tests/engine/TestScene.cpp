#include "TestScene.h"

#include "engine/Viewport.h"

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace EngineTest {

QByteArray qmlScene(const char* body) {
    return QByteArray("import QtQuick 2.15\n"
                      "import QtQuick.Controls 2.15\n"
                      "import OrbOpenGlEngine 1.0\n"
                      "import \"qrc:/OpenGlEngine/imports\"\n"
                      "import \"qrc:/OpenGlEngine/imports/Materials\"\n"
                      "import \"qrc:/OpenGlEngine/imports/Meshes\"\n"
                      "import \"qrc:/OpenGlEngine/imports/Objects\"\n") +
           body;
}

QObject* createObject(QQmlEngine& engine, const char* body) {
    QQmlComponent component(&engine);
    component.setData(qmlScene(body), QUrl("qrc:/test/Scene.qml"));
    QObject* object = component.create();
    if (!object)
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
    return object;
}

SceneView::SceneView(const char* body, int width, int height) : m_view(new QQuickView) {
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->resize(width, height);
    m_view->setColor(Qt::magenta);
    QQmlComponent component(m_view->engine());
    component.setData(qmlScene(body), QUrl("qrc:/test/Scene.qml"));
    QObject* object = component.create();
    if (!object) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return;
    }
    auto* item = qobject_cast<QQuickItem*>(object);
    m_view->setContent(QUrl(), &component, item);
    m_view->show();
    if (!QTest::qWaitForWindowExposed(m_view.get()))
        std::fprintf(stderr, "window not exposed\n");
}

SceneView::~SceneView() = default;

bool SceneView::ok() const { return m_view->rootObject() != nullptr; }
QQuickItem* SceneView::root() const { return m_view->rootObject(); }

QImage SceneView::grab() {
    QCoreApplication::processEvents();
    return m_view->grabWindow();
}

Watchdog::Watchdog(int seconds, const char* what)
    : m_thread([this, seconds, what] {
          std::unique_lock<std::mutex> lock(m_mutex);
          if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
              std::fprintf(stderr, "FAIL: %s did not end within %d s\n", what, seconds);
              std::_Exit(1);
          }
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_one();
    m_thread.join();
}

ProbeRenderable::ProbeRenderable(QObject* parent, bool transparent) : QObject(parent), m_transparent(transparent) {
    attachToParent(parent);
    if (m_parent)
        m_parent->addObserver(this);
    if (KestrelQt3DEngine::Viewport* port = viewport()) {
        if (transparent)
            port->addTransparentRenderable(this);
        else
            port->addOpaqueRenderable(this);
    }
}

ProbeRenderable::~ProbeRenderable() {
    if (KestrelQt3DEngine::Viewport* port = viewport()) {
        if (m_transparent)
            port->removeTransparentRenderable(this);
        else
            port->removeOpaqueRenderable(this);
    }
    detachFromParent();
}

void ProbeRenderable::render(KestrelQt3DEngine::AbstractCamera* camera) {
    ++renderCount;
    drawOrder().append(this);
    if (onRender)
        onRender(camera);
}

QVector<ProbeRenderable*>& ProbeRenderable::drawOrder() {
    static QVector<ProbeRenderable*> order;
    return order;
}

} // namespace EngineTest
