// A recording opened in the program without any device-network library: its nodes join the
// tree, a viewer's task runs on them and follows the replay's steps (a step back starts the
// task afresh), and closing the recording ends the viewer like an unplug.
#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>

#include "TestTaskViewer.h"
#include "device_network/KdnFactory.h"
#include "device_network/ReplaySources.h"
#include "interface_contract/ProgramDirectory.h"
#include "recording/RecordingWriter.h"

namespace {

using namespace Kestrel;

// Tracking-task recording of node 5: six frames, each a frame start, a full-points packet and
// an inertial sample, 10 ms apart.
std::string writeRecording(const QTemporaryDir& folder) {
    Recording::Header header;
    header.node = 5;
    header.task = InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
    const std::string path = QDir(folder.path()).filePath("desk.orbrec").toStdString();
    Recording::RecordingWriter writer(path, header);
    double t = 0;
    for (int frame = 0; frame < 6; ++frame)
        for (uint8_t id : {0, 7, 1})
            writer.append({t += 0.01, Recording::Direction::DeviceToHost, id, std::string(6, char(frame))});
    writer.close();
    return path;
}

void complete(TaskViewer& viewer) { static_cast<QQmlParserStatus&>(viewer).componentComplete(); }

int packetsSeen(const TestTaskViewer& viewer, int expected) {
    for (int i = 0; i < 500 && viewer.testCotask() && viewer.testCotask()->packets < expected; ++i)
        QTest::qWait(2);
    return viewer.testCotask() ? viewer.testCotask()->packets.load() : -1;
}

TEST(ReplaySource, ServesARecordingWithoutADeviceNetwork) {
    QDir().mkpath(QStringLiteral(EMPTY_FOLDER));
    InterfaceContract::setLibraryFolder(QStringLiteral(EMPTY_FOLDER));
    QTemporaryDir folder;
    const std::string path = writeRecording(folder);
    KdnFactory factory;
    ASSERT_EQ("KDN library not loaded", factory.getErrorMessage().toStdString());
    EXPECT_EQ(-1, factory.getUpdateID());

    auto& sources = DeviceNetwork::ReplaySources::instance();
    const auto& replay = sources.open(path);
    const int root = int(replay.network->root()), node = root + 1;
    EXPECT_EQ(factory.getNodes(), QVector<int>({root, node}));
    EXPECT_NE(-1, factory.getUpdateID());
    EXPECT_EQ(0, factory.getParent(root));
    EXPECT_EQ(root, factory.getParent(node));
    EXPECT_EQ("desk.orbrec", factory.getNodeLabel(root).toStdString());
    EXPECT_EQ("5", factory.getNodeLabel(node).toStdString());
    EXPECT_TRUE(factory.isTaskSupported(node, -1497334480, 1156441039, -1772120391, -493714535));
    EXPECT_FALSE(factory.isTaskSupported(root, -1497334480, 1156441039, -1772120391, -493714535));
    // The debug task was not recorded.
    EXPECT_FALSE(factory.isTaskSupported(node, int(0x2AD83E54u), int(0x4C8F9F90u), int(0x2334409Eu), int(0x98F8B51Cu)));

    TestTaskViewer viewer;
    QSignalSpy ended(&viewer, &TaskViewer::termination);
    viewer.setNode(node);
    complete(viewer);
    ASSERT_TRUE(viewer.hasCotask());
    auto& player = replay.network->player();
    player.stepForward();
    player.stepForward();
    ASSERT_TRUE(player.waitUntilSettled(5));
    // Frames 0 and 1 have run: their packets and the start of frame 2.
    EXPECT_EQ(packetsSeen(viewer, 7), 7);

    // One frame back: the task ends, the viewer starts it again and gets frame 0 and the start
    // of frame 1.
    player.stepBack();
    for (int i = 0; i < 100 && player.status().restarts == 0; ++i)
        QTest::qWait(2);
    viewer.tick();
    ASSERT_TRUE(viewer.hasCotask());
    EXPECT_EQ(ended.count(), 0);
    ASSERT_TRUE(player.waitUntilSettled(5));
    EXPECT_EQ(packetsSeen(viewer, 4), 4);
    EXPECT_EQ(player.status().frame, 0);

    ASSERT_TRUE(sources.close(DeviceNetwork::NodeHandle(root)));
    viewer.tick();
    EXPECT_EQ(ended.count(), 1) << "closing the recording ends its viewer";
    EXPECT_FALSE(viewer.hasCotask());
    EXPECT_TRUE(factory.getNodes().isEmpty());
}

} // namespace
