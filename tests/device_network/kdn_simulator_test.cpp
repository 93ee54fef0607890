// KdnFactory and the TaskViewer life cycle against the simulated device network, loaded by the
// network holder as the program loads it. Fast clock: the test moves time on.
//   host 0 - adapter 1 - tracker 2 (always there)
//                      - tracker 3 (plugged at 0.5 s, unplugged at 1.5 s)
//   tracker 9 of another vendor, hidden by the program's device filter
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "SimulationHelpers.h"
#include "TestTaskViewer.h"
#include "device_network/KdnFactory.h"
#include "device_network/NetworkHolder.h"
#include "device_simulator/SimulationControl.h"
#include "interface_contract/ProgramDirectory.h"

using Kestrel::DeviceNetwork::NetworkHolder;
using Kestrel::DeviceSimulator::ISimulationControl;
using Kestrel::InterfaceContract::check;
using Kestrel::InterfaceContract::Ref;

using namespace SimulationHelpers;

namespace {

const char scenario[] = R"({
    "clock": "fast",
    "seed": 7,
    "devices": [
        {"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "static"}},
        {"handle": 3, "parent": 1, "kind": "tracker", "trajectory": {"kind": "static"},
         "plugAt": 0.5, "unplugAt": 1.5},
        {"handle": 9, "kind": "tracker", "vendor": "0x1234", "trajectory": {"kind": "static"}}
    ]
})";

const int tracking[4] = {-1497334480, 1156441039, -1772120391, -493714535};
const int debug[4] = {718814804, 1284480912, 590626974, -1728531172};

std::unique_ptr<TestTaskViewer> createViewer(QQmlEngine& engine, int node) {
    QQmlComponent component(&engine);
    component.setData("import orbtest 1.0\nTestTaskViewer_cpp { node: " + QByteArray::number(node) + " }", QUrl());
    auto* viewer = qobject_cast<TestTaskViewer*>(component.create());
    EXPECT_TRUE(viewer) << qPrintable(component.errorString());
    return std::unique_ptr<TestTaskViewer>(viewer);
}

} // namespace

TEST(KdnFactorySimulator, TwoFactoriesShareOneLibraryAndNetwork) {
    KdnFactory first;
    ASSERT_EQ("", first.getErrorMessage().toStdString());
    const auto library = NetworkHolder::instance().library();
    const auto network = NetworkHolder::instance().network();
    ASSERT_TRUE(control()) << "the loaded library is not the simulator";
    KdnFactory second;
    second.reload();
    EXPECT_EQ(library, NetworkHolder::instance().library());
    EXPECT_EQ(network, NetworkHolder::instance().network());
}

TEST(KdnFactorySimulator, NodesAndParentsAsScripted) {
    KdnFactory factory;
    EXPECT_EQ(QVector<int>({1, 2}), factory.getNodes());
    EXPECT_EQ(0, factory.getParent(1));
    EXPECT_EQ(1, factory.getParent(2));
}

TEST(KdnFactorySimulator, TaskSupportWithSignedParts) {
    KdnFactory factory;
    EXPECT_TRUE(factory.isTaskSupported(2, tracking[0], tracking[1], tracking[2], tracking[3]));
    EXPECT_TRUE(factory.isTaskSupported(2, debug[0], debug[1], debug[2], debug[3]));
    EXPECT_FALSE(factory.isTaskSupported(1, tracking[0], tracking[1], tracking[2], tracking[3]));
    // One byte off in the last part is another task.
    EXPECT_FALSE(factory.isTaskSupported(2, tracking[0], tracking[1], tracking[2], tracking[3] ^ 0x01000000));
}

TEST(KdnFactorySimulator, PlugChangesTheUpdateId) {
    KdnFactory factory;
    const int before = factory.getUpdateID();
    EXPECT_NE(-1, before);
    advance(0.6);
    EXPECT_NE(before, factory.getUpdateID());
    EXPECT_EQ(QVector<int>({1, 2, 3}), factory.getNodes());
    EXPECT_EQ(1, factory.getParent(3));
}

TEST(TaskViewerSimulator, ClosingEndsTheTaskInTheSimulator) {
    QQmlEngine engine;
    ASSERT_TRUE(waitForRunningTasks(0));
    auto viewer = createViewer(engine, 2);
    ASSERT_TRUE(viewer->hasCotask());
    EXPECT_EQ(1u, runningTasks());
    advance(0.05);
    EXPECT_GT(viewer->testCotask()->packets.load(), 0);
    QSignalSpy termination(viewer.get(), &TaskViewer::termination);
    viewer->tick();
    EXPECT_EQ(0, termination.count());

    viewer->requestTermination();
    EXPECT_EQ(1, termination.count());
    EXPECT_TRUE(waitForRunningTasks(0));
    viewer->tick();
    EXPECT_EQ(1, termination.count());
    // The simulator's task thread lets go of its references to the task after the task ends.
    QElapsedTimer released;
    released.start();
    while (TestTask::liveObjects.load() != 0 && released.elapsed() < 2000)
        QThread::msleep(5);
    EXPECT_EQ(0, TestTask::liveObjects.load());
}

TEST(TaskViewerSimulator, UnplugRemovesTheViewerWithinATick) {
    QQmlEngine engine;
    auto viewer = createViewer(engine, 3);
    ASSERT_TRUE(viewer->hasCotask());
    QSignalSpy termination(viewer.get(), &TaskViewer::termination);
    viewer->tick();
    EXPECT_EQ(0, termination.count());
    advance(1.0);  // past the unplug at 1.5 s
    KdnFactory factory;
    EXPECT_EQ(QVector<int>({1, 2}), factory.getNodes());
    // The library lets go of the connection on its task thread; the next tick or two sees it.
    QElapsedTimer timer;
    timer.start();
    while (termination.count() == 0 && timer.elapsed() < 2000) {
        QThread::msleep(17);
        viewer->tick();
    }
    EXPECT_EQ(1, termination.count());
    EXPECT_FALSE(viewer->hasCotask());
    EXPECT_EQ(0, TestTask::liveObjects.load());
}

int main(int argc, char** argv) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("scenario.json"));
    if (!useScenario(path, scenario))
        return 2;
    Kestrel::InterfaceContract::setLibraryFolder(QStringLiteral(ORB_BIN_DIR));
    QCoreApplication app(argc, argv);
    qmlRegisterType<TestTaskViewer>("orbtest", 1, 0, "TestTaskViewer_cpp");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
