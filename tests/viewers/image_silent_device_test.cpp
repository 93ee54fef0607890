// The Image viewer against a device that takes its requests and never answers (the fake
// device network): captures are asked off the GUI thread, each gives up after the debug task's
// 2 s wait, keeps what was drawn last and says why in the pane's error text; repeated captures
// never pile up; unplugging the tracker ends the viewer on its next tick.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QQmlParserStatus>

#include <chrono>
#include <memory>

#include "FakeNetwork.h"
#include "device_network/NetworkHolder.h"
#include "interface_contract/LibraryLoader.h"
#include "viewers/TaskViewer_OrbDebug_Image.h"

namespace {

// The viewer as the QML engine completes it: the task starts on the node.
std::unique_ptr<TaskViewer_OrbDebug_Image> startViewer(int node) {
    auto viewer = std::make_unique<TaskViewer_OrbDebug_Image>();
    viewer->setNode(node);
    QQmlParserStatus& status = *viewer;
    status.classBegin();
    status.componentComplete();
    return viewer;
}

// Waits for the outstanding request's answer and shows it with a tick.
void tickWhenAnswered(TaskViewer_OrbDebug_Image& viewer) {
    ASSERT_TRUE(viewer.requests().waitForAnswer(std::chrono::seconds(5)));
    viewer.tick();
}

} // namespace

TEST(ImageViewerSilentDevice, CapturesWaitOffTheGuiThreadKeepTheLastPictureAndShowTheError) {
    FakeNetwork fake;
    fake.plug(9, 0);
    auto viewer = startViewer(9);
    ASSERT_TRUE(viewer->hasCotask());

    // What an earlier capture left: a 2 x 2 image and, drawn from a list of one point, the
    // image circle (128 segments), the point's circle and the corner mark (32 segments each).
    // An empty list would draw 64 vertices fewer.
    const char earlier[4] = {10, 20, 30, 40};
    viewer->imageConstructor()->setTextureSize(QSize(2, 2));
    viewer->imageConstructor()->setData(earlier, 4);
    TaskViewer_OrbDebug_Image::buildPointsGeometry(*viewer->pointsGeometry(), {Kestrel::Orb::DebugPoint{801, 100.5f, 200.5f}});
    const size_t drawn = viewer->pointsGeometry()->vertices().size();
    ASSERT_EQ(2u * 128 + 2 * 32 + 2 * 32, drawn);

    // Auto capture asks on every tick: the calls return at once and one request is out; the
    // points wait for their turn.
    QElapsedTimer timer;
    timer.start();
    for (int tick = 0; tick < 10; ++tick) {
        EXPECT_EQ(viewer->imageConstructor(), viewer->captureImage());
        EXPECT_EQ(viewer->pointsGeometry(), viewer->capturePoints());
        viewer->tick();
    }
    EXPECT_LT(timer.elapsed(), 1000) << "the GUI thread waited for the device";
    EXPECT_TRUE(viewer->requests().busy());

    tickWhenAnswered(*viewer);
    EXPECT_GE(timer.elapsed(), 1900);
    EXPECT_EQ(QByteArray(earlier, 4), viewer->imageConstructor()->data());
    EXPECT_EQ(QSize(2, 2), viewer->imageConstructor()->textureSize());
    EXPECT_EQ(QStringLiteral("captureImage: Device did not answer"), viewer->errorText());
    // The points' turn, then one more image for the nine calls that came while the first ran.
    EXPECT_TRUE(viewer->requests().busy());
    tickWhenAnswered(*viewer);
    EXPECT_EQ(drawn, viewer->pointsGeometry()->vertices().size()) << "the points drawn last stay";
    EXPECT_EQ(QStringLiteral("capturePoints: Device did not answer"), viewer->errorText());
    EXPECT_TRUE(viewer->requests().busy());
    tickWhenAnswered(*viewer);
    EXPECT_EQ(QStringLiteral("captureImage: Device did not answer"), viewer->errorText());
    EXPECT_FALSE(viewer->requests().busy()) << "the calls piled up requests";

    // The next request that goes through clears the error: the threshold is only sent.
    viewer->setPixelThreshold(12);
    EXPECT_EQ(12, viewer->getPixelThreshold());
    tickWhenAnswered(*viewer);
    EXPECT_EQ(QString(), viewer->errorText());
    viewer->requestTermination();
}

TEST(ImageViewerSilentDevice, UnpluggingTheTrackerEndsTheViewerWithinATick) {
    FakeNetwork fake;
    fake.plug(9, 0);
    auto viewer = startViewer(9);
    ASSERT_TRUE(viewer->hasCotask());
    int terminations = 0;
    QObject::connect(viewer.get(), &TaskViewer::termination, [&] { ++terminations; });
    viewer->captureImage();
    viewer->tick();
    EXPECT_EQ(0, terminations);
    fake.unplug(9);
    viewer->tick();
    EXPECT_EQ(1, terminations);
    EXPECT_FALSE(viewer->hasCotask());
    // The capture that was out lets go of the task without the viewer.
    viewer.reset();
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Kestrel::InterfaceContract::setLibraryFolder(FakeNetwork::folder());
    Kestrel::DeviceNetwork::NetworkHolder::instance().setUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
