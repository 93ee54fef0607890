#pragma once
// The program's main window for the live viewer tests: the application, the window with its
// QML and context object, made once per test suite the way the program makes them, and the
// steps those tests share (waiting, starting a viewer from a tracker's tasks menu, screenshots
// into SCREEN_FOLDER). `Application` is QGuiApplication, as the program runs, or QApplication
// where a viewer's charts need widgets.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

#include "app/QExContextObject.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"

namespace MainWindowTest {

// Runs the event loop until `condition` holds or `milliseconds` have passed; whether it held.
template <class Condition>
bool waitFor(Condition condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(20);
    }
    return true;
}

template <class Application>
class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OrbDebug::setApplicationAttributes();
        static int argc = 1;
        static char name[] = "orbdebug_live_test";
        static char* argv[] = {name, nullptr};
        application = new Application(argc, argv);
        OrbDebug::setApplicationNames();
        OrbDebug::registerQmlTypes();
        view = OrbDebug::createMainView().release();
        context = new QExContextObject;
        OrbDebug::setContextProperties(*view, *context);
        view->resize(1600, 1000);
        OrbDebug::showMainView(*view);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    }

    // The window, its QML and the application go before the process's static objects do.
    static void TearDownTestSuite() {
        delete view;
        view = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete context;
        context = nullptr;
        delete application;
        application = nullptr;
    }

    static QObject* root() { return view->rootObject(); }

    // Opens the tasks menu of `node`, clicks its entry `title` and returns the viewer of type
    // `Viewer` that opens on that node (null when none comes within 3 s).
    template <class Viewer>
    static Viewer* startFromTasksMenu(int node, const QString& title) {
        QObject* menu = root()->property("tasksMenu").value<QObject*>();
        EXPECT_TRUE(menu);
        QMetaObject::invokeMethod(menu, "show", Q_ARG(QVariant, node));
        QQuickItem* entry = nullptr;
        waitFor([&] {
            for (QQuickItem* item : view->contentItem()->findChildren<QQuickItem*>())
                if (item->inherits("QQuickMenuItem") && item->property("text").toString() == title &&
                    item->isVisible() && item->width() > 0)
                    entry = item;
            return entry != nullptr;
        }, 3000);
        EXPECT_TRUE(entry) << "no " << title.toStdString() << " entry in the tasks menu";
        if (!entry)
            return nullptr;
        QTest::qWait(300);  // the menu's opening transition
        const QPointF centre = entry->mapToScene(QPointF(entry->width() / 2, entry->height() / 2));
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        Viewer* viewer = nullptr;
        waitFor([&] {
            for (auto* candidate : root()->findChildren<Viewer*>())
                if (candidate->node() == node)
                    viewer = candidate;
            return viewer != nullptr;
        }, 3000);
        return viewer;
    }

    // The QML item a viewer's native object belongs to.
    static QQuickItem* itemOf(QObject* viewer) { return qobject_cast<QQuickItem*>(viewer->parent()); }

    // Grabs the window after `settleMs` of events and saves it as SCREEN_FOLDER/`name`.png.
    static QImage screenshot(const QString& name, int settleMs = 0) {
        if (settleMs > 0)
            QTest::qWait(settleMs);
        const QImage image = view->grabWindow();
        const QString folder = QStringLiteral(SCREEN_FOLDER);
        QDir().mkpath(folder);
        EXPECT_TRUE(image.save(folder + "/" + name + ".png"));
        return image;
    }

    static Application* application;
    static QQuickView* view;
    static QExContextObject* context;
};

template <class Application>
Application* MainWindow<Application>::application = nullptr;
template <class Application>
QQuickView* MainWindow<Application>::view = nullptr;
template <class Application>
QExContextObject* MainWindow<Application>::context = nullptr;

} // namespace MainWindowTest
