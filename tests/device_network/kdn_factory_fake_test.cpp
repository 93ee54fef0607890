// KdnFactory, the network holder and the TaskViewer life cycle against the fake device network.
// The holder is process-wide, so the tests run in the order written and build on each other.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <cstring>
#include <memory>

#include "FakeNetwork.h"
#include "TestTaskViewer.h"
#include "device_network/KdnFactory.h"
#include "device_network/NetworkHolder.h"
#include "device_network/TaskIdentifier.h"
#include "interface_contract/DebugLog.h"
#include "interface_contract/ProgramDirectory.h"

namespace {

const uint8_t trackingBytes[16] = {0x30, 0x7D, 0xC0, 0xA6, 0xCF, 0xE3, 0xED, 0x44,
                                   0xB9, 0x96, 0x5F, 0x96, 0x99, 0x83, 0x92, 0xE2};
const uint8_t debugBytes[16] = {0x54, 0x3E, 0xD8, 0x2A, 0x90, 0x9F, 0x8F, 0x4C,
                                0x9E, 0x40, 0x34, 0x23, 0x1C, 0xB5, 0xF8, 0x98};

std::vector<std::string> capturedLog;

class Environment : public ::testing::Environment {
    void SetUp() override {
        Kestrel::InterfaceContract::setLibraryFolder(FakeNetwork::folder());
        Kestrel::setDebugLogSink([](const std::string& line) { capturedLog.push_back(line); });
    }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new Environment);

std::unique_ptr<TestTaskViewer> createViewer(QQmlEngine& engine, int node) {
    QQmlComponent component(&engine);
    component.setData(QByteArray("import orbtest 1.0\nTestTaskViewer_cpp { node: ") + QByteArray::number(node) + " }",
                      QUrl());
    auto* viewer = qobject_cast<TestTaskViewer*>(component.create());
    EXPECT_TRUE(viewer) << qPrintable(component.errorString());
    return std::unique_ptr<TestTaskViewer>(viewer);
}

} // namespace

TEST(KdnFactoryFake, FailingSettingKeepsTheLibraryAndCreatesNoNetwork) {
    FakeNetwork fake;
    fake.failNext(0);
    KdnFactory factory;
    EXPECT_EQ(1, fake.calls(FakeEntryCalls));
    uint32_t setting = 0;
    EXPECT_EQ(1, fake.calls(FakeSettingCalls, &setting));
    EXPECT_EQ(6u, setting);
    EXPECT_EQ(0, fake.calls(FakeNetworkCalls));
    EXPECT_EQ("Factory not acquired", factory.getErrorMessage().toStdString());
    EXPECT_EQ(-1, factory.getUpdateID());
    EXPECT_TRUE(factory.getNodes().isEmpty());
    EXPECT_EQ(0, factory.getParent(7));
    EXPECT_FALSE(factory.isTaskSupported(7, 0, 0, 0, 0));
    ASSERT_FALSE(capturedLog.empty());
    EXPECT_NE(std::string::npos, capturedLog.back().find("setting refused"));
}

TEST(KdnFactoryFake, FailingNetworkCreationIsRetriedByReload) {
    FakeNetwork fake;
    fake.failNext(1);
    KdnFactory factory;
    EXPECT_EQ(1, fake.calls(FakeNetworkCalls));
    EXPECT_EQ("Factory not acquired", factory.getErrorMessage().toStdString());
    EXPECT_NE(std::string::npos, capturedLog.back().find("no adapter answered"));

    factory.reload();
    EXPECT_EQ(2, fake.calls(FakeNetworkCalls));
    EXPECT_EQ("", factory.getErrorMessage().toStdString());
    // The library is loaded once and its setting is never applied again.
    EXPECT_EQ(1, fake.calls(FakeEntryCalls));
    EXPECT_EQ(1, fake.calls(FakeSettingCalls));

    uint32_t words[4] = {};
    ASSERT_EQ(2, fake.lastFilter(words, 4));
    // Vendor in the low 16 bits, product 0 in the high 16 bits of each little-endian entry.
    EXPECT_EQ(0x00003237u, words[0]);
    EXPECT_EQ(0x00000301u, words[1]);
}

TEST(KdnFactoryFake, TwoFactoriesShareOneLibraryAndNetwork) {
    FakeNetwork fake;
    auto network = Kestrel::DeviceNetwork::NetworkHolder::instance().network();
    KdnFactory first;
    KdnFactory second;
    second.reload();
    EXPECT_EQ(1, fake.calls(FakeEntryCalls));
    EXPECT_EQ(2, fake.calls(FakeNetworkCalls));
    EXPECT_EQ(network, Kestrel::DeviceNetwork::NetworkHolder::instance().network());
    EXPECT_EQ(first.getUpdateID(), second.getUpdateID());
}

TEST(KdnFactoryFake, NodesParentsAndUpdateId) {
    FakeNetwork fake;
    KdnFactory factory;
    int before = factory.getUpdateID();
    fake.plug(5, 0);
    int afterFirst = factory.getUpdateID();
    EXPECT_NE(before, afterFirst);
    fake.plug(7, 5);
    fake.plug(9, 5);
    EXPECT_NE(afterFirst, factory.getUpdateID());
    EXPECT_EQ(QVector<int>({5, 7, 9}), factory.getNodes());
    EXPECT_EQ(0, factory.getParent(5));
    EXPECT_EQ(5, factory.getParent(7));
    EXPECT_EQ(5, factory.getParent(9));
    // An unsigned handle above INT_MAX travels through QML as a negative int and back.
    fake.plug(0x80000001u, 9);
    EXPECT_EQ(9, factory.getParent(int(0x80000001u)));
    EXPECT_EQ(int(0x80000001u), factory.getNodes().back());
}

TEST(KdnFactoryFake, TaskIdentifierFromSignedParts) {
    FakeNetwork fake;
    fake.support(7, trackingBytes);
    fake.support(9, debugBytes);
    KdnFactory factory;
    EXPECT_TRUE(factory.isTaskSupported(7, -1497334480, 1156441039, -1772120391, -493714535));
    uint8_t asked[16] = {};
    fake.lastAsked(asked);
    EXPECT_EQ(0, std::memcmp(asked, trackingBytes, 16));
    EXPECT_FALSE(factory.isTaskSupported(9, -1497334480, 1156441039, -1772120391, -493714535));
    // The debug task: 0x2AD83E54, 0x4C8F9F90, 0x2334409E, 0x98F8B51C.
    EXPECT_TRUE(factory.isTaskSupported(9, 718814804, 1284480912, 590626974, -1728531172));
    fake.lastAsked(asked);
    EXPECT_EQ(0, std::memcmp(asked, debugBytes, 16));
    EXPECT_FALSE(factory.isTaskSupported(7, 718814804, 1284480912, 590626974, -1728531172));
}

TEST(TaskViewerFake, ConstantsAreTheTrackingIdentifierParts) {
    const auto parts = Kestrel::DeviceNetwork::taskIdentifierParts(
        Kestrel::InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2"));
    EXPECT_EQ(-1497334480, parts[0]);
    EXPECT_EQ(1156441039, parts[1]);
    EXPECT_EQ(-1772120391, parts[2]);
    EXPECT_EQ(-493714535, parts[3]);
    EXPECT_EQ(parts[0], TestTaskViewer::InterfaceId0);
    EXPECT_EQ(parts[3], TestTaskViewer::InterfaceId3);
}

TEST(TaskViewerFake, ClosingEmitsTerminationOnceAndEndsTheTask) {
    FakeNetwork fake;
    QQmlEngine engine;
    auto viewer = createViewer(engine, 7);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(7, viewer->node());
    ASSERT_TRUE(viewer->hasCotask());
    EXPECT_EQ(1, fake.calls(FakeOpenTasks));
    QSignalSpy termination(viewer.get(), &TaskViewer::termination);
    viewer->tick();
    EXPECT_EQ(1, viewer->ticks());
    EXPECT_EQ(0, termination.count());

    viewer->requestTermination();
    EXPECT_EQ(1, termination.count());
    EXPECT_FALSE(viewer->hasCotask());
    EXPECT_EQ(0, fake.calls(FakeOpenTasks));
    EXPECT_EQ(0, TestTask::liveObjects.load());
    viewer->tick();
    EXPECT_EQ(1, termination.count());
    EXPECT_EQ(1, viewer->ticks());
}

TEST(TaskViewerFake, DestroyingTheViewerEndsTheTask) {
    FakeNetwork fake;
    QQmlEngine engine;
    auto viewer = createViewer(engine, 7);
    EXPECT_EQ(1, fake.calls(FakeOpenTasks));
    viewer.reset();
    EXPECT_EQ(0, fake.calls(FakeOpenTasks));
    EXPECT_EQ(0, TestTask::liveObjects.load());
}

TEST(TaskViewerFake, UnplugEndsTheViewerOnTheNextTick) {
    FakeNetwork fake;
    fake.plug(11, 5);
    QQmlEngine engine;
    auto viewer = createViewer(engine, 11);
    auto second = createViewer(engine, 7);
    ASSERT_TRUE(viewer->hasCotask());
    EXPECT_EQ(2, fake.calls(FakeOpenTasks));
    QSignalSpy termination(viewer.get(), &TaskViewer::termination);
    QSignalSpy secondTermination(second.get(), &TaskViewer::termination);

    fake.unplug(11);
    EXPECT_EQ(1, fake.calls(FakeOpenTasks));
    // The cotask outlives the device side until the viewer's tick lets it go.
    // Left: the unplugged viewer's cotask, and the other viewer's cotask and interop.
    EXPECT_EQ(3, TestTask::liveObjects.load());
    viewer->tick();
    second->tick();
    EXPECT_EQ(1, termination.count());
    EXPECT_EQ(0, secondTermination.count());
    EXPECT_FALSE(viewer->hasCotask());
    EXPECT_EQ(0, viewer->ticks());
    second.reset();
    EXPECT_EQ(0, TestTask::liveObjects.load());
}

TEST(TaskViewerFake, RefusedStartLeavesTheViewerWaitingForItsButton) {
    FakeNetwork fake;
    fake.refuseStart(true);
    QQmlEngine engine;
    auto viewer = createViewer(engine, 7);
    fake.refuseStart(false);
    EXPECT_FALSE(viewer->hasCotask());
    EXPECT_EQ(0, fake.calls(FakeOpenTasks));
    EXPECT_EQ(0, TestTask::liveObjects.load());
    QSignalSpy termination(viewer.get(), &TaskViewer::termination);
    viewer->tick();
    EXPECT_EQ(0, termination.count());
    viewer->requestTermination();
    EXPECT_EQ(1, termination.count());
}

TEST(TaskViewerFake, NodeWriteStoresTheValue) {
    FakeNetwork fake;
    QQmlEngine engine;
    auto viewer = createViewer(engine, 9);
    viewer->setNode(9);
    EXPECT_EQ(9, viewer->node());
    viewer->setNode(5);
    EXPECT_EQ(5, viewer->node());
    EXPECT_TRUE(viewer->qt_metacast("QQmlParserStatus"));
    EXPECT_TRUE(viewer->qt_metacast("org.qt-project.Qt.QQmlParserStatus"));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qmlRegisterType<TestTaskViewer>("orbtest", 1, 0, "TestTaskViewer_cpp");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
