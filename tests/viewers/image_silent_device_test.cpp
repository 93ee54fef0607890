// The Image viewer against a device that takes its requests and never answers (the fake
// device network): each capture gives up after the debug task's 2 s wait, keeps what was
// drawn last and says why in the pane's error text.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QQmlParserStatus>

#include "FakeNetwork.h"
#include "device_network/NetworkHolder.h"
#include "interface_contract/LibraryLoader.h"
#include "viewers/TaskViewer_OrbDebug_Image.h"

TEST(ImageViewerSilentDevice, AFailedCaptureKeepsTheLastImageAndPointsAndShowsTheError) {
    FakeNetwork fake;
    fake.plug(9, 0);
    TaskViewer_OrbDebug_Image viewer;
    viewer.setNode(9);
    // As the QML engine completes it: the task starts on the node.
    QQmlParserStatus& status = viewer;
    status.classBegin();
    status.componentComplete();
    ASSERT_TRUE(viewer.hasCotask());

    // What an earlier capture left: a 2 x 2 image and, drawn from a list of one point, the
    // image circle (128 segments), the point's circle and the corner mark (32 segments each).
    // An empty list would draw 64 vertices fewer.
    const char earlier[4] = {10, 20, 30, 40};
    viewer.imageConstructor()->setTextureSize(QSize(2, 2));
    viewer.imageConstructor()->setData(earlier, 4);
    TaskViewer_OrbDebug_Image::buildPointsGeometry(*viewer.pointsGeometry(), {Kestrel::Orb::DebugPoint{801, 100.5f, 200.5f}});
    const size_t drawn = viewer.pointsGeometry()->vertices().size();
    ASSERT_EQ(2u * 128 + 2 * 32 + 2 * 32, drawn);

    QElapsedTimer timer;
    timer.start();
    auto* image = viewer.captureImage();
    const double imageSeconds = timer.restart() / 1000.0;
    EXPECT_EQ(viewer.imageConstructor(), image);
    EXPECT_EQ(QByteArray(earlier, 4), image->data());
    EXPECT_EQ(QSize(2, 2), image->textureSize());
    EXPECT_EQ(QStringLiteral("captureImage: Device did not answer"), viewer.errorText());
    EXPECT_GE(imageSeconds, 1.9);
    EXPECT_LT(imageSeconds, 3.5);

    auto* points = viewer.capturePoints();
    const double pointsSeconds = timer.elapsed() / 1000.0;
    EXPECT_EQ(viewer.pointsGeometry(), points);
    EXPECT_EQ(drawn, points->vertices().size()) << "the points drawn last stay";
    EXPECT_EQ(QStringLiteral("capturePoints: Device did not answer"), viewer.errorText());
    EXPECT_GE(pointsSeconds, 1.9);
    EXPECT_LT(pointsSeconds, 3.5);

    // The next request that goes through clears the error: the threshold is only sent.
    viewer.setPixelThreshold(12);
    EXPECT_EQ(QString(), viewer.errorText());
    viewer.requestTermination();
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Kestrel::InterfaceContract::setLibraryFolder(FakeNetwork::folder());
    Kestrel::DeviceNetwork::NetworkHolder::instance().setUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
