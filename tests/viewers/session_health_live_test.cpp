// The Session Health viewer in the real main window against the simulated network on its
// real-time clock, under Xvfb at 1600 x 1000: started from a tracker's tasks menu it shows the
// figures, the findings of the injected faults, the plots over time, the stray-blob heat map and
// the room from above; it disappears when its tracker is unplugged. Screenshots are written to
// build/tests/session_health_screens/ for a look.
//   tracker 2: walking a circle over the default floor, a marker covered and a lamp on the floor
//   tracker 3: the same without faults, unplugged at 8 s
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QtCharts/QLineSeries>

#include <cstdio>

#include "MainWindowFixture.h"
#include "TrackingDebugSimulation.h"
#include "viewers/SessionHealthHeatMap.h"
#include "viewers/SessionHealthRoomView.h"
#include "viewers/TaskViewer_OrbTracking_SessionHealth.h"

using namespace Kestrel::Orb::Tracking::Health;
using namespace SimulationHelpers;
using namespace TrackingDebugTest;
using MainWindowTest::waitFor;

namespace {

// The simulator's default floor: 6 by 6 tiles of 0.6 m.
const char defaultFloor[] = "AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==";

// Tracker 2 walks the fault scenarios' circle with two faults at once: the middle marker of
// tile (3, 2) covered and a steady lamp on the floor at (1.2, 0, -0.8).
const char scenario[] = R"({
  "clock": "realtime",
  "seed": 7,
  "devices": [
    {"handle": 1, "kind": "adapter"},
    {"handle": 2, "parent": 1, "kind": "tracker", "frameRate": 200,
     "trajectory": {"kind": "circle", "centre": [0, 1.68, 0], "radius": 1.0, "period": 12, "jitter": true},
     "faults": {"covered": [{"tile": [3, 2], "marker": 1}], "lamps": [{"position": [1.2, 0.0, -0.8], "brightness": 3}]}},
    {"handle": 3, "parent": 1, "kind": "tracker", "trajectory": {"kind": "circle", "jitter": true}, "unplugAt": 8}
  ]
})";

// A widgets application, as the program runs: the charts need one.
class SessionHealthWindow : public MainWindowTest::MainWindow<QApplication> {
protected:
    static TaskViewer_OrbTracking_SessionHealth* startFromTasksMenu(int node) {
        return MainWindow::startFromTasksMenu<TaskViewer_OrbTracking_SessionHealth>(node, QStringLiteral("Session Health"));
    }
    // The charts and painted items draw on the next frame.
    static QImage screenshot(const QString& name) { return MainWindow::screenshot(name, 300); }
};

} // namespace

TEST_F(SessionHealthWindow, EndsWhenItsTrackerIsUnplugged) {
    TaskViewer_OrbTracking_SessionHealth* viewer = startFromTasksMenu(3);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(viewer->hasCotask());
    ASSERT_TRUE(viewer->health()) << "the analysis is attached to the viewer's tracking";
    QPointer<QQuickItem> item = itemOf(viewer);
    // Reports come while the tracker is there (the viewer may already be gone when they are late) ...
    QPointer<TaskViewer_OrbTracking_SessionHealth> alive = viewer;
    EXPECT_TRUE(waitFor([&] { return alive && alive->model()->report().optical.frames > 0; }, 5000));
    // ... and the viewer goes with the tracker (unplugged at 8 s).
    EXPECT_TRUE(waitFor([&] { return item.isNull(); }, 12000));
    EXPECT_TRUE(waitFor([] { return runningTasks() == 0; }, 3000));
}

TEST_F(SessionHealthWindow, ShowsTheFindingsPlotsHeatMapAndRoomOfAFaultySession) {
    TaskViewer_OrbTracking_SessionHealth* viewer = startFromTasksMenu(2);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(viewer->hasCotask());
    QQuickItem* item = itemOf(viewer);
    SessionHealthModel* model = viewer->model();
    // Both findings need 100 frames of their marker or source in view: some seconds of walking.
    const auto names = [&](FindingKind kind) {
        for (const Finding& f : model->report().findings)
            if (f.kind == kind)
                return true;
        return false;
    };
    // Eight windows at least, so that the plots have a course to show.
    const bool found = waitFor([&] {
        return names(FindingKind::MarkerRarelyMatched) && names(FindingKind::StrayLight) && model->report().windows.size() >= 8;
    }, 40000);
    const QImage shot = screenshot(QStringLiteral("session_health_covered_marker_and_lamp"));
    const HealthReport report = model->report();
    for (const Finding& f : report.findings)
        std::printf("finding: %s\n", f.text.c_str());
    ASSERT_TRUE(found) << "the covered marker and the lamp not both named after 40 s";

    // The findings list shows every finding of the report.
    QQuickItem* findings = item->property("findingsView").value<QQuickItem*>();
    ASSERT_TRUE(findings);
    EXPECT_GE(findings->property("count").toInt(), 1);
    EXPECT_LE(std::abs(findings->property("count").toInt() - int(report.findings.size())), 1)
        << "a newer report may have come between the two reads";

    // Each chart's series holds a point per window of the report shown.
    QList<QtCharts::QLineSeries*> series;
    QQuickItem* charts = item->property("charts").value<QQuickItem*>();
    ASSERT_TRUE(charts);
    for (QQuickItem* chart : charts->childItems())
        if (auto* s = qobject_cast<QtCharts::QLineSeries*>(chart->property("plotSeries").value<QObject*>()))
            series.append(s);
    ASSERT_EQ(int(SessionHealthModel::PlotCount), series.size());
    for (const auto* s : series)
        EXPECT_GE(s->count(), 5) << s->name().toStdString();

    // The heat map shows the stray blobs: its brightest cell is drawn in the top colour.
    auto* heatMap = item->property("heatMap").value<SessionHealthHeatMap*>();
    ASSERT_TRUE(heatMap);
    ASSERT_GT(model->strayBlobs(), 0);
    const QRect heatArea = heatMap->mapRectToScene(QRectF(0, 0, heatMap->width(), heatMap->height())).toRect();
    const QColor top = SessionHealthHeatMap::cellColour(1, 1);
    bool hottest = false;
    for (int y = heatArea.top(); y < heatArea.bottom() && !hottest; ++y)
        for (int x = heatArea.left(); x < heatArea.right() && !hottest; ++x) {
            const QColor c = shot.pixelColor(x, y);
            hottest = std::abs(c.red() - top.red()) + std::abs(c.green() - top.green()) + std::abs(c.blue() - top.blue()) < 24;
        }
    EXPECT_TRUE(hottest) << "no cell in the colour of the most stray blobs";
    // The room view shows markers that were matched (green) beside the rest.
    QQuickItem* room = item->property("roomView").value<QQuickItem*>();
    const QRect roomArea = room->mapRectToScene(QRectF(0, 0, room->width(), room->height())).toRect();
    int greenish = 0;
    for (int y = roomArea.top(); y < roomArea.bottom(); ++y)
        for (int x = roomArea.left(); x < roomArea.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            greenish += c.green() > 150 && c.red() < 120 && c.blue() < 120;
        }
    EXPECT_GT(greenish, 20) << "no marker drawn as matched";
    // The lamp: an orange cross in the room view.
    const QColor lampColour = SessionHealthRoomView::sourceColour();
    int orange = 0;
    for (int y = roomArea.top(); y < roomArea.bottom(); ++y)
        for (int x = roomArea.left(); x < roomArea.right(); ++x)
            orange += shot.pixelColor(x, y) == lampColour;
    EXPECT_GT(orange, 10) << "no stray-light source drawn";

    // What showing a report costs the GUI thread, the QML handlers included: a report whose
    // windows are those shown (figures only), one with a window more (the plots redrawn), and
    // one of an hour of one-second windows.
    const auto showCost = [&](const HealthReport& shown) {
        QElapsedTimer timer;
        timer.start();
        model->show(shown);
        return timer.nsecsElapsed() / 1e6;
    };
    HealthReport hour = report;
    while (hour.windows.size() < 3600) {
        HealthWindow next = hour.windows[hour.windows.size() % report.windows.size()];
        next.start = double(hour.windows.size());
        hour.windows.push_back(next);
    }
    HealthReport oneMore = report;
    oneMore.windows.push_back(hour.windows[report.windows.size()]);
    showCost(report);
    const double figuresMs = showCost(report);
    const double plotsMs = showCost(oneMore);
    const double hourMs = showCost(hour);
    std::printf("showing a report on the GUI thread: %.2f ms (figures only), %.2f ms (%zu windows plotted), "
                "%.2f ms (3600 windows plotted)\n",
                figuresMs, plotsMs, oneMore.windows.size(), hourMs);
    EXPECT_EQ(SessionHealthModel::maximumPlotPoints, series.front()->count());
}

int main(int argc, char** argv) {
    QTemporaryDir folder;
    if (!prepareSimulation(folder, scenario))
        return 2;
    if (!storeConfiguration("environment", defaultFloor))
        return 3;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
