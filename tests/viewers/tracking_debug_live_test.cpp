// The Tracking Debug viewer in the real main window against the simulated network on its real-time
// clock, under Xvfb at 1600 x 1000: started from the tasks menu of a tracker, it reaches
// "Tracking6Dof" on page User, goes through all 12 pages (measuring the GUI thread's work per tick
// besides the wait for the pipeline), closes with its button, and disappears when its tracker is
// unplugged. Screenshots of pages Optics, Optimization and User are written beside the test
// programs (tracking_debug_screens/).
//   host 0 - adapter 1 - tracker 2: still, noise-free, 0.6 m above the middle of one bar of 1.5 m
//                      - tracker 3: the same, unplugged after 40 s
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "SimulationHelpers.h"
#include "StoredEntries.h"
#include "app/QExContextObject.h"
#include "app/QmlTypeRegistration.h"
#include "app/Startup.h"
#include "device_network/NetworkHolder.h"
#include "device_simulator/SimulationControl.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/ProgramDirectory.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"
#include "viewers/TrackingConfiguration.h"

using Kestrel::DeviceNetwork::NetworkHolder;
using Kestrel::DeviceSimulator::ISimulationControl;
using Kestrel::InterfaceContract::check;
using Page = TaskViewer_OrbTracking_Debug::Page;

using namespace SimulationHelpers;

namespace {

const char scenario[] = R"({
    "clock": "realtime",
    "seed": 5,
    "devices": [
        {"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=",
         "trajectory": {"kind": "static", "centre": [0, 0.6, 0]},
         "noise": {"centroid": 0, "dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0,
                   "gyroscope": 0, "gyroscopeBias": 0, "accelerometer": 0, "accelerometerBias": 0}},
        {"handle": 3, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=",
         "trajectory": {"kind": "static", "centre": [0, 0.6, 0]},
         "unplugAt": 40}
    ]
})";

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

class LiveWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OrbDebug::setApplicationAttributes();
        static int argc = 1;
        static char name[] = "viewers_tracking_debug_live_test";
        static char* argv[] = {name, nullptr};
        application = new QGuiApplication(argc, argv);
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

    // Opens the tasks menu of `node` and clicks its "Tracking Debug" entry; returns the viewer.
    static TaskViewer_OrbTracking_Debug* startFromTasksMenu(int node) {
        QObject* menu = root()->property("tasksMenu").value<QObject*>();
        EXPECT_TRUE(menu);
        QMetaObject::invokeMethod(menu, "show", Q_ARG(QVariant, node));
        QQuickItem* entry = nullptr;
        waitFor([&] {
            for (QQuickItem* item : view->contentItem()->findChildren<QQuickItem*>())
                if (item->inherits("QQuickMenuItem") && item->property("text").toString() == "Tracking Debug" &&
                    item->isVisible() && item->width() > 0)
                    entry = item;
            return entry != nullptr;
        }, 3000);
        EXPECT_TRUE(entry) << "no Tracking Debug entry in the tasks menu";
        if (!entry)
            return nullptr;
        QTest::qWait(300);  // the menu's opening transition
        const QPointF centre = entry->mapToScene(QPointF(entry->width() / 2, entry->height() / 2));
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        TaskViewer_OrbTracking_Debug* viewer = nullptr;
        waitFor([&] {
            for (auto* candidate : root()->findChildren<TaskViewer_OrbTracking_Debug*>())
                if (candidate->node() == node)
                    viewer = candidate;
            return viewer != nullptr;
        }, 3000);
        return viewer;
    }

    static QQuickItem* itemOf(TaskViewer_OrbTracking_Debug* viewer) { return qobject_cast<QQuickItem*>(viewer->parent()); }

    static QString labelText(TaskViewer_OrbTracking_Debug* viewer) {
        QObject* label = itemOf(viewer)->property("label").value<QObject*>();
        return label ? label->property("text").toString() : QString();
    }

    static void setPage(int page) { QQmlProperty::write(root()->property("settings").value<QObject*>(), "trackingDebugSectionID", page); }

    static void screenshot(const QString& name) {
        const QString folder = QStringLiteral(SCREEN_FOLDER);
        QDir().mkpath(folder);
        EXPECT_TRUE(view->grabWindow().save(folder + "/" + name + ".png"));
    }

    static QGuiApplication* application;
    static QQuickView* view;
    static QExContextObject* context;
};

QGuiApplication* LiveWindow::application = nullptr;
QQuickView* LiveWindow::view = nullptr;
QExContextObject* LiveWindow::context = nullptr;

struct PageCost {
    std::vector<double> workMs;  // GUI thread besides the wait
    double maxWaitMs = 0;
    double maxDrawMs = 0;
    int ticks = 0, served = 0;
};

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

TEST_F(LiveWindow, TracksIn6DofGoesThroughEveryPageAndClosesWithItsButton) {
    QElapsedTimer sixDof;
    sixDof.start();
    TaskViewer_OrbTracking_Debug* viewer = startFromTasksMenu(2);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(viewer->hasCotask());
    QPointer<QQuickItem> item = itemOf(viewer);

    // Page User through the viewer's own menu: the choice lands in the window's settings.
    QObject* menuButton = item->property("menuButton").value<QObject*>();
    ASSERT_TRUE(menuButton);
    QMetaObject::invokeMethod(menuButton, "clicked");
    QQuickItem* userEntry = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QQuickItem* candidate : view->contentItem()->findChildren<QQuickItem*>())
            if (candidate->inherits("QQuickMenuItem") && candidate->property("text").toString() == "User" && candidate->isVisible())
                userEntry = candidate;
        return userEntry != nullptr;
    }, 3000));
    QTest::qWait(300);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier,
                      userEntry->mapToScene(QPointF(userEntry->width() / 2, userEntry->height() / 2)).toPoint());
    ASSERT_TRUE(waitFor([&] { return viewer->section() == Page::User; }, 2000));
    EXPECT_EQ(int(Page::User), root()->property("settings").value<QObject*>()->property("trackingDebugSectionID").toInt());

    ASSERT_TRUE(waitFor([&] { return labelText(viewer).contains("Tracking6Dof"); }, 20000)) << labelText(viewer).toStdString();
    std::printf("Tracking6Dof shown on page User %.2f s after opening the tasks menu\n", double(sixDof.elapsed()) / 1000);
    QTest::qWait(500);
    screenshot("user");

    // Every page for about a second; the cost of each tick is read once it has returned.
    std::vector<PageCost> costs(Page::PageCount);
    QObject::connect(viewer, &TaskViewer_OrbTracking_Debug::emitNewGeometry, viewer, [&] {
        const auto& tick = viewer->lastTick();
        if (tick.page < 0 || tick.page >= Page::PageCount)
            return;
        PageCost& cost = costs[std::size_t(tick.page)];
        cost.workMs.push_back(double(tick.totalNs - tick.waitNs) / 1e6);
        cost.maxWaitMs = std::max(cost.maxWaitMs, double(tick.waitNs) / 1e6);
        cost.maxDrawMs = std::max(cost.maxDrawMs, double(tick.drawNs) / 1e6);
        ++cost.ticks;
        cost.served += tick.served;
    }, Qt::QueuedConnection);
    for (int page = 0; page < Page::PageCount; ++page) {
        setPage(page);
        ASSERT_EQ(page, viewer->section());
        QTest::qWait(1200);
        ASSERT_TRUE(item) << "the viewer went away on page " << page;
        if (page == Page::Optics) {
            EXPECT_EQ("", labelText(viewer).toStdString()) << "the User page's text stayed";
            screenshot("optics");
        }
        if (page == Page::Optimization)
            screenshot("optimization");
    }
    const QStringList names = TaskViewer_OrbTracking_Debug::sectionNames();
    std::printf("%-18s %6s %6s %10s %10s %10s %10s\n", "page", "ticks", "served", "work med", "work max", "wait max",
                "draw max");
    for (int page = 0; page < Page::PageCount; ++page) {
        const PageCost& cost = costs[std::size_t(page)];
        const double maxWork = cost.workMs.empty() ? 0 : *std::max_element(cost.workMs.begin(), cost.workMs.end());
        std::printf("%-18s %6d %6d %8.3f ms %8.3f ms %8.1f ms %8.3f ms\n", qPrintable(names[page]), cost.ticks, cost.served,
                    median(cost.workMs), maxWork, cost.maxWaitMs, cost.maxDrawMs);
        EXPECT_GT(cost.ticks, 0) << qPrintable(names[page]);
        // A producer that does not answer costs at most its 500 ms time-out per tick.
        EXPECT_LT(cost.maxWaitMs, 600) << qPrintable(names[page]);
        EXPECT_LT(maxWork, 100) << qPrintable(names[page]);
    }
    for (int page : {Page::Optics, Page::History, Page::Optimization, Page::Umi, Page::User})
        EXPECT_GT(costs[std::size_t(page)].served, 0) << qPrintable(names[page]);
    for (int page : {Page::Alignment, Page::Homography, Page::VisualPosition, Page::MatchProjections, Page::QuadrangleDebug,
                     Page::GarlandDebug})
        EXPECT_EQ(0, costs[std::size_t(page)].served) << qPrintable(names[page]);

    // The close button ends the task and removes the viewer.
    QQuickItem* close = item->property("closeButton").value<QQuickItem*>();
    ASSERT_TRUE(close);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, close->mapToScene(QPointF(close->width() / 2, close->height() / 2)).toPoint());
    EXPECT_TRUE(waitFor([&] { return item.isNull(); }, 2000));
    EXPECT_TRUE(waitFor([] { return runningTasks() == 0; }, 3000));
}

TEST_F(LiveWindow, UnpluggingTheTrackerRemovesTheViewer) {
    TaskViewer_OrbTracking_Debug* viewer = startFromTasksMenu(3);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(viewer->hasCotask());
    QPointer<QQuickItem> item = itemOf(viewer);
    // Tracker 3 goes at 40 s of simulation time.
    EXPECT_TRUE(waitFor([&] { return item.isNull(); }, 45000));
    EXPECT_TRUE(waitFor([] { return runningTasks() == 0; }, 3000));
}

int main(int argc, char** argv) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("scenario.json"));
    if (!useScenario(path, scenario))
        return 2;
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(ORB_BIN_DIR));
    {
        // The demo configuration: the simulator's default bar, the tracker's own centre.
        auto storage = TrackingDebug::openConfigurationStorage();
        if (!storage)
            return 3;
        TrackingDebugTest::storeDefault(*storage.get(), "environment", "AAZTaW5nbGUIAADAP6uqqj4=");
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
