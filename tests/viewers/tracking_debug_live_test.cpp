// The Tracking Debug viewer in the real main window against the simulated network on its real-time
// clock, under Xvfb at 1600 x 1000: started from the tasks menu of a tracker, it reaches
// "Tracking6Dof" on page User, goes through all 12 pages (measuring the GUI thread's work per tick
// besides the wait for the pipeline), closes with its button, and disappears when its tracker is
// unplugged. Screenshots of pages Optics, Optimization and User are written beside the test
// programs (tracking_debug_screens/).
// The trackers (TrackingDebugSimulation.h): 2 still and noise-free above one bar, 3 the same
// but unplugged after 40 s.
// The test runs a QGuiApplication, as the program does. With the Widgets module in the build
// (QtSvg brings it in), QtTest's mouse functions would cast the application to a QApplication,
// an invalid downcast that the undefined-behaviour sanitizer stops at.
#undef QT_WIDGETS_LIB

#include <gtest/gtest.h>

#include <QElapsedTimer>
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

#include "MainWindowFixture.h"
#include "TrackingDebugSimulation.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"

using Page = TaskViewer_OrbTracking_Debug::Page;

using namespace SimulationHelpers;
using namespace TrackingDebugTest;
using MainWindowTest::waitFor;

namespace {

class LiveWindow : public MainWindowTest::MainWindow<QGuiApplication> {
protected:
    static TaskViewer_OrbTracking_Debug* startFromTasksMenu(int node) {
        return MainWindow::startFromTasksMenu<TaskViewer_OrbTracking_Debug>(node, QStringLiteral("Tracking Debug"));
    }

    static QString labelText(TaskViewer_OrbTracking_Debug* viewer) {
        QObject* label = itemOf(viewer)->property("label").value<QObject*>();
        return label ? label->property("text").toString() : QString();
    }

    static void setPage(int page) { QQmlProperty::write(root()->property("settings").value<QObject*>(), "trackingDebugSectionID", page); }
};

struct PageCost {
    std::vector<double> workMs;  // GUI thread besides the wait
    std::vector<double> textMs;  // of which the label's handler
    std::vector<double> geometryMs;  // and the mesh's handler
    std::vector<double> cpuMs;  // the GUI thread's CPU time over the tick
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

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
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
    {
        // What the user sees: a white page (the sky above the floor grids, top right) and the
        // label's text dark on it.
        const QImage shot = view->grabWindow();
        const QRectF page = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        const QColor sky = shot.pixelColor(int(page.right()) - 40, int(page.top()) + 40);
        EXPECT_GT(std::min({sky.red(), sky.green(), sky.blue()}), 240) << qPrintable(sky.name());
        QQuickItem* label = qobject_cast<QQuickItem*>(item->property("label").value<QObject*>());
        ASSERT_TRUE(label);
        const QRect text = label->mapRectToScene(QRectF(0, 0, label->width(), label->height())).toAlignedRect();
        int dark = 0, light = 0;
        for (int y = text.top(); y <= text.bottom(); ++y)
            for (int x = text.left(); x <= text.right(); ++x) {
                const int grey = qGray(shot.pixel(x, y));
                dark += grey < 100;
                light += grey > 200;
            }
        EXPECT_GT(dark, 50) << "no dark text in the label's " << text.width() << " x " << text.height() << " pixels";
        EXPECT_GT(light, dark) << "the label's background is not light";
    }

    // Every page for about a second; the cost of each tick that showed something is read once
    // it has returned (the wait for the producer is the worker's, off the GUI thread).
    std::vector<PageCost> costs(Page::PageCount);
    QObject::connect(viewer, &TaskViewer_OrbTracking_Debug::emitNewGeometry, viewer, [&] {
        const auto& tick = viewer->lastTick();
        if (tick.page < 0 || tick.page >= Page::PageCount)
            return;
        PageCost& cost = costs[std::size_t(tick.page)];
        cost.workMs.push_back(double(tick.totalNs) / 1e6);
        cost.textMs.push_back(double(tick.textNs) / 1e6);
        cost.geometryMs.push_back(double(tick.geometryNs) / 1e6);
        cost.cpuMs.push_back(double(tick.cpuNs) / 1e6);
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
    // Wall-clock work of the tick (median, max), its part in the label's and the mesh's
    // handlers, the GUI thread's CPU time per tick, the worker's longest wait and the longest
    // drawing.
    std::printf("%-17s %5s %6s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n", "page", "ticks", "served", "work med", "work max",
                "text med", "text max", "geom max", "cpu med", "cpu max", "wait max", "draw max");
    for (int page = 0; page < Page::PageCount; ++page) {
        const PageCost& cost = costs[std::size_t(page)];
        const double maxWork = maximum(cost.workMs);
        std::printf("%-17s %5d %6d %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %9.1f %9.3f\n", qPrintable(names[page]),
                    cost.ticks, cost.served, median(cost.workMs), maxWork, median(cost.textMs), maximum(cost.textMs),
                    maximum(cost.geometryMs), median(cost.cpuMs), maximum(cost.cpuMs), cost.maxWaitMs, cost.maxDrawMs);
        EXPECT_GT(cost.ticks, 0) << qPrintable(names[page]);
        // A producer that does not answer costs the worker one 500 ms time-out, not more: the
        // bound leaves room for a loaded machine.
        EXPECT_LT(cost.maxWaitMs, 1500) << qPrintable(names[page]);
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
    if (!prepareSimulation(folder, singleBarScenario("realtime", 5, 40)))
        return 2;
    // The demo configuration: the simulator's default bar, the tracker's own centre.
    if (!storeConfiguration("environment", singleBar))
        return 3;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
