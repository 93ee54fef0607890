// The Tracking Debug viewer against the simulated device network on its fast clock, with its
// configuration in a temporary local storage: the completion hook, the hook protocol of tick()
// on every page, the pages that must stay empty, reaching 6DoF, closing and unplugging.
// The trackers (TrackingDebugSimulation.h): 2 still and noise-free above one bar, 3 the same
// but unplugged at 4 s, and 4 circling above a quadrangle of four bars.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

#include "LogCapture.h"
#include "TrackingDebugSimulation.h"
#include "TrackingDebugTestHelpers.h"
#include "device_network/NetworkHolder.h"
#include "device_simulator/SimulationControl.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"
#include "viewers/TrackingConfiguration.h"

using Kestrel::DeviceNetwork::NetworkHolder;
using Kestrel::InterfaceContract::check;
using Page = TaskViewer_OrbTracking_Debug::Page;

using namespace SimulationHelpers;
using namespace TrackingDebugTest;

namespace {

// Tracker 4 circles 1.5 m above a quadrangle of four bars of 1.5 m.
const char quadrangleTracker[] = R"(,
        {"handle": 4, "parent": 1, "kind": "tracker", "frameRate": 200, "environment": "AARRdWFkCAAAwD+amZk+",
         "barPoses": [[0.12, -0.08, 0.07], [1.35, 1.6, 1.4508], [0.05, 3.17, -0.15], [-1.32, 1.37, 1.7308]],
         "trajectory": {"kind": "circle", "centre": [0, 1.5, 1.5], "radius": 1.6, "period": 16}})";

// Four bars of 1.5 m, middle marker at 0.3, whose layout is learned.
const char quadrangle[] = "AARRdWFkCAAAwD+amZk+";

void store(const std::string& group, const std::string& value) { ASSERT_TRUE(storeConfiguration(group, value)); }

void clearStorage() {
    auto storage = TrackingDebug::openConfigurationStorage();
    ASSERT_TRUE(storage);
    for (const char* group : {"placement", "environment"})
        TrackingDebugTest::clearDefault(*storage.get(), group);
}

// The viewer as QML would make it: node set, then completed.
struct Viewer {
    explicit Viewer(int node) {
        object.setNode(node);
        QObject::connect(&object, &TaskViewer_OrbTracking_Debug::emitNewText, [this](const QString& t) { text = t; });
        QObject::connect(&object, &TaskViewer_OrbTracking_Debug::emitNewGeometry,
                         [this](KestrelQt3DEngine::LinedMeshConstructor* g) {
                             ++geometries;
                             vertices = g->vertices().size();
                         });
        QObject::connect(&object, &TaskViewer::termination, [this] { ++terminations; });
        static_cast<QQmlParserStatus&>(object).classBegin();
        static_cast<QQmlParserStatus&>(object).componentComplete();
    }
    // Ticks on `page` until an answer for it shows (an answer for the page before is dropped),
    // while another thread moves the simulation on by `seconds` per request. Returns whether
    // the producer served it.
    bool tickWhileAdvancing(int page, double seconds = 0.1) {
        object.setSection(page);
        object.tick();
        for (int request = 0; request < 3; ++request) {
            std::thread clock([&] {
                for (int step = 0; step < int(seconds / 0.005); ++step)
                    advance(0.005);
            });
            object.requests().waitForAnswer(std::chrono::seconds(3));
            clock.join();
            object.tick();
            if (object.lastTick().answered)
                return object.lastTick().served;
        }
        return false;
    }

    TaskViewer_OrbTracking_Debug object;
    QString text;
    int geometries = 0;
    std::size_t vertices = 0;
    int terminations = 0;
};

} // namespace

TEST(TrackingDebugTask, WithoutAStoredEnvironmentNoTaskStartsAndTheLabelSaysHowToStoreOne) {
    clearStorage();
    LogCapture log;
    Viewer viewer(2);
    EXPECT_FALSE(viewer.object.hasCotask());
    EXPECT_EQ(0u, runningTasks());
    EXPECT_TRUE(viewer.text.startsWith("No environment configured"));
    EXPECT_TRUE(viewer.text.contains("orbtool storage write environment default"));
    int lines = 0;
    for (const std::string& line : log.lines())
        lines += line == "No environment configured";
    EXPECT_EQ(1, lines);
    viewer.object.tick();
    EXPECT_EQ(0, viewer.geometries);
}

TEST(TrackingDebugTask, AnUnusableStoredCodeIsShownAndStartsNothing) {
    clearStorage();
    store("placement", "AQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==");  // version 1
    store("environment", singleBar);
    Viewer viewer(2);
    EXPECT_FALSE(viewer.object.hasCotask());
    EXPECT_TRUE(viewer.text.contains("need VersionConverter implementation"));
    EXPECT_EQ(0u, runningTasks());
}

TEST(TrackingDebugTask, PagesFollowTheHookProtocolAndTheTrackerReaches6Dof) {
    clearStorage();
    store("placement", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==");
    store("environment", singleBar);
    Viewer viewer(2);
    ASSERT_TRUE(viewer.object.hasCotask());
    EXPECT_EQ(1u, runningTasks());
    EXPECT_FALSE(viewer.object.rigidEnvironment());

    // Before any data: the stage is the initialisation.
    viewer.object.setSection(Page::User);
    viewer.object.tick();
    EXPECT_TRUE(viewer.text.startsWith("stability stage: InertialDataInitialization<br>"));
    EXPECT_EQ(1, viewer.geometries);

    // Pages without a producer for a single bar show an empty picture at once, and say why.
    const int withoutProducer[] = {Page::Alignment, Page::Homography, Page::QuadrangleDebug, Page::GarlandDebug, 12, -1};
    for (int page : withoutProducer) {
        viewer.object.setSection(page);
        const int before = viewer.geometries;
        viewer.object.tick();
        EXPECT_EQ(before + 1, viewer.geometries) << "page " << page;
        EXPECT_EQ(0u, viewer.vertices) << "page " << page;
        EXPECT_FALSE(viewer.object.requests().busy()) << "page " << page;
        EXPECT_EQ(page >= 0 && page < Page::PageCount, viewer.text.startsWith("No data: this page")) << "page " << page;
    }

    // Run until the optimiser holds the pose.
    viewer.object.setSection(Page::User);
    for (int step = 0; step < 1000 && !viewer.text.contains("Tracking6Dof"); ++step) {
        advance(0.005);
        // The optimisation thread takes every frame, as it would in real time.
        viewer.object.tracking()->sharedState().waitUntilOptimizerIdle(1.0);
        viewer.object.tick();
    }
    EXPECT_TRUE(viewer.text.startsWith("stability stage: Tracking6Dof<br>")) << viewer.text.toStdString();
    EXPECT_EQ(std::size_t(52), viewer.vertices);

    // Every page with a producer in this pipeline is served within one request of 500 ms.
    for (int page : {Page::Optics, Page::History, Page::Optimization, Page::Umi}) {
        bool served = false;
        for (int attempt = 0; attempt < 5 && !served; ++attempt)
            served = viewer.tickWhileAdvancing(page);
        EXPECT_TRUE(served) << "page " << page;
        EXPECT_GT(viewer.vertices, 6u) << "page " << page;
        // Only the Optimization page has a text; the others clear the label of the page before.
        if (page == Page::Optimization)
            EXPECT_TRUE(viewer.text.startsWith("Position<br>x:")) << viewer.text.toStdString();
        else
            EXPECT_EQ("", viewer.text.toStdString()) << "page " << page;
    }

    // Bar detection runs whenever the optimiser identifies from the rays alone.
    viewer.tickWhileAdvancing(Page::AllPatterns);
    if (viewer.object.lastTick().served)
        EXPECT_GT(viewer.vertices, 256u);
    else
        EXPECT_EQ(0u, viewer.vertices);

    // Carried but never served: the request gives up after 500 ms; an empty picture and why.
    for (int page : {Page::VisualPosition, Page::MatchProjections}) {
        EXPECT_FALSE(viewer.tickWhileAdvancing(page, 0.05)) << "page " << page;
        EXPECT_TRUE(viewer.object.lastTick().answered);
        EXPECT_EQ(0u, viewer.vertices);
        EXPECT_GE(viewer.object.lastTick().waitNs, 490'000'000);
        EXPECT_LT(viewer.object.lastTick().waitNs, 1'500'000'000);
        EXPECT_TRUE(viewer.text.contains("no step of this tracking pipeline")) << viewer.text.toStdString();
    }

    // Closing ends the task in the simulator, once.
    viewer.object.requestTermination();
    EXPECT_EQ(1, viewer.terminations);
    EXPECT_FALSE(viewer.object.hasCotask());
    EXPECT_TRUE(waitForRunningTasks(0));
    viewer.object.tick();
    EXPECT_EQ(1, viewer.terminations);
}

TEST(TrackingDebugTask, AHeldBackProducerDoesNotHoldTheTickNorTheClosing) {
    clearStorage();
    store("environment", singleBar);
    auto viewer = std::make_unique<Viewer>(2);
    ASSERT_TRUE(viewer->object.hasCotask());
    // The simulation's clock stands: no optical frame comes until the test moves it.
    viewer->object.setSection(Page::Optics);
    viewer->object.tick();
    EXPECT_TRUE(viewer->object.requests().busy()) << "the tick waited for the producer";
    EXPECT_FALSE(viewer->object.lastTick().answered);
    EXPECT_EQ(0, viewer->geometries);
    bool served = false;
    for (int attempt = 0; attempt < 5 && !served; ++attempt)
        served = viewer->tickWhileAdvancing(Page::Optics);
    EXPECT_TRUE(served);
    EXPECT_GT(viewer->vertices, 6u);

    // Closed with a request outstanding: the viewer goes at once, the request finishes without
    // it (the frames that come afterwards find nothing of the viewer) and lets go of the task.
    viewer->object.tick();
    ASSERT_TRUE(viewer->object.requests().busy());
    QElapsedTimer closing;
    closing.start();
    viewer->object.requestTermination();
    viewer.reset();
    EXPECT_LT(closing.elapsed(), 250);
    advance(0.1);
    EXPECT_TRUE(waitForRunningTasks(0));
}

// Every emitted geometry repaints the 3D view: a tick whose picture equals the one shown emits
// none, a changed picture is emitted at once.
TEST(TrackingDebugTask, OnlyAChangedPictureIsHandedOver) {
    clearStorage();
    store("environment", singleBar);
    Viewer viewer(2);
    ASSERT_TRUE(viewer.object.hasCotask());
    // The simulation's clock stands: the User page reads the same state at every tick.
    viewer.object.setSection(Page::User);
    for (int tick = 0; tick < 5; ++tick)
        viewer.object.tick();
    EXPECT_EQ(1, viewer.geometries);
    const std::size_t userVertices = viewer.vertices;
    EXPECT_GT(userVertices, 0u);
    bool served = false;
    for (int attempt = 0; attempt < 5 && !served; ++attempt)
        served = viewer.tickWhileAdvancing(Page::Optics);
    ASSERT_TRUE(served);
    // The served picture (after, perhaps, the empty one of an unanswered request).
    EXPECT_GE(viewer.geometries, 2);
    EXPECT_NE(userVertices, viewer.vertices);
}

TEST(TrackingDebugTask, UnpluggingTheTrackerEndsTheViewerWithinATick) {
    clearStorage();
    store("environment", singleBar);
    double now = 0;
    check(control().get(), control()->getTime(&now));
    ASSERT_LT(now, 4.0) << "the tracker must still be plugged";
    Viewer viewer(3);
    ASSERT_TRUE(viewer.object.hasCotask());
    viewer.object.setSection(Page::User);
    viewer.object.tick();
    EXPECT_EQ(0, viewer.terminations);
    advance(4.05 - now);
    QElapsedTimer timer;
    timer.start();
    while (viewer.terminations == 0 && timer.elapsed() < 2000) {
        QThread::msleep(17);
        viewer.object.tick();
    }
    EXPECT_EQ(1, viewer.terminations);
    EXPECT_FALSE(viewer.object.hasCotask());
    EXPECT_TRUE(waitForRunningTasks(0));
}

TEST(TrackingDebugTask, QuadranglePageDrawsTheCornersOfALearningQuadrangle) {
    clearStorage();
    store("environment", quadrangle);
    Viewer viewer(4);
    ASSERT_TRUE(viewer.object.hasCotask());
    ASSERT_TRUE(viewer.object.quadrangleEnvironment());
    EXPECT_FALSE(viewer.object.rigidEnvironment());

    // The corner hook runs on every frame the optimiser takes, from the end of the inertial
    // initialisation on; a tick that sees a corner draws it in blue beside the red estimate.
    const auto hasColour = [&](const QColor& wanted) {
        for (const auto& vertex : viewer.object.geometry()->vertices())
            if (TrackingDebugTest::colour(vertex) == wanted)
                return true;
        return false;
    };
    const QColor detected(0, 0, 255, 255), reference(255, 0, 0, 255);
    int served = 0;
    bool sawCorner = false;
    for (int attempt = 0; attempt < 40 && !sawCorner; ++attempt) {
        if (!viewer.tickWhileAdvancing(Page::QuadrangleDebug))
            continue;
        ++served;
        // Axes, and per slot a black bar and the red estimate: at least 4 + 4 * 4 vertices.
        EXPECT_GE(viewer.vertices, 20u);
        EXPECT_TRUE(hasColour(reference));
        sawCorner = hasColour(detected);
    }
    EXPECT_GT(served, 0);
    EXPECT_TRUE(sawCorner) << "no corner seen in " << served << " served ticks";

    // The rigid pages have no producer in a quadrangle.
    for (int page : {Page::Alignment, Page::Homography}) {
        EXPECT_FALSE(viewer.tickWhileAdvancing(page, 0.01)) << "page " << page;
        EXPECT_EQ(0u, viewer.vertices) << "page " << page;
    }
    viewer.object.requestTermination();
    EXPECT_TRUE(waitForRunningTasks(0));
}

int main(int argc, char** argv) {
    QTemporaryDir folder;
    if (!prepareSimulation(folder, singleBarScenario("fast", 3, 4, quadrangleTracker)))
        return 2;
    QCoreApplication app(argc, argv);
    NetworkHolder::instance().setUp();
    if (!NetworkHolder::instance().network() || !control())
        return 3;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
