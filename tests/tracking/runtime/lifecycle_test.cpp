#include <gtest/gtest.h>

#include <thread>

#include "FakeNetwork.h"
#include "TestCotask.h"
#include "interface_contract/ModuleRegistry.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::Orb::Tracking;
using FakeNetworkTest::FakeDevice;
using FakeNetworkTest::FakeNetwork;

namespace {

struct Started {
    FakeNetwork* network = new FakeNetwork;
    Ref<Kestrel::DeviceNetwork::INodeNetwork> networkRef = Ref<Kestrel::DeviceNetwork::INodeNetwork>::share(network);
    TestCotask* task = nullptr;
    Ref<Kestrel::DeviceNetwork::ICotask> viewer;  // the viewer's reference
    bool started = false;

    explicit Started(bool answer = true) {
        GeometrySettings g;
        network->properties["sys/GeometrySettings.b"] = serializeGeometrySettings(g);
        network->answerStart = answer;
        task = new TestCotask(networkRef, 7);
        viewer = Ref<Kestrel::DeviceNetwork::ICotask>::share(task);
        started = startTrackingTask(*network, 7, *task);
    }
    bool finished() {
        Boolean value = 0;
        EXPECT_EQ(0u, viewer->isFinished(&value));
        return value != 0;
    }
};

std::string exposureError(TestCotask& task) {
    try {
        task.exposure(10);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(sent)";
}

} // namespace

TEST(TrackingTaskLifeCycle, StartWiresStreamInteropAndPeer) {
    {
        Started s;
        ASSERT_TRUE(s.started);
        EXPECT_EQ(7u, s.network->startedNode);
        EXPECT_EQ(trackingTaskId, s.network->startedTask);
        ASSERT_TRUE(s.network->host);
        ASSERT_EQ(0u, s.network->deliver(7, {0x00, 0x80, 0x00, 0x80, 0x1F}));  // one centre point
        ASSERT_EQ(0u, s.network->deliver(0, {}));
        EXPECT_EQ(1u, s.task->rays.size());
        EXPECT_EQ(1, s.task->frames.load());
        EXPECT_EQ("(sent)", exposureError(*s.task));
        auto sent = s.network->device->packets();
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(9, sent[0].id);
        EXPECT_EQ(std::string("\x0A\0\0\0", 4), sent[0].payload);
        EXPECT_FALSE(s.finished());
    }
    EXPECT_EQ(0, TestCotask::alive.load());
    EXPECT_EQ(0, FakeDevice::alive.load());
}

// Objects alive beyond the fake network itself: cotask, stream, interop, device.
int32_t objectsBeyond(int32_t baseline) { return Kestrel::InterfaceContract::ModuleRegistry::liveObjectCount() - baseline - 1; }

TEST(TrackingTaskLifeCycle, ClosingTheViewerReleasesTheLibraryPeer) {
    const int32_t baseline = Kestrel::InterfaceContract::ModuleRegistry::liveObjectCount();
    Started s;
    EXPECT_EQ(4, objectsBeyond(baseline));
    ASSERT_TRUE(s.started);
    EXPECT_EQ(1, FakeDevice::alive.load());
    s.viewer.reset();
    EXPECT_EQ(1, s.task->viewerReleases.load());
    EXPECT_EQ(0, FakeDevice::alive.load());  // the library sees the connection closed
    EXPECT_EQ(1, TestCotask::alive.load());  // still held through the library's connection
    // The library lets go of the connection: both faces are at 0 and everything is freed.
    s.network->host.reset();
    EXPECT_EQ(0, TestCotask::alive.load());
    EXPECT_EQ(0, objectsBeyond(baseline));  // interop and stream are gone too
}

TEST(TrackingTaskLifeCycle, DeviceSideEndingFinishesTheTask) {
    const int32_t baseline = Kestrel::InterfaceContract::ModuleRegistry::liveObjectCount();
    Started s;
    ASSERT_TRUE(s.started);
    s.network->host.reset();  // device unplugged: the library drops the connection
    EXPECT_EQ(1, s.task->deviceReleases.load());
    EXPECT_TRUE(s.finished());
    EXPECT_TRUE(s.task->isFinished());
    EXPECT_EQ(0, FakeDevice::alive.load());
    EXPECT_EQ("Task is finished", exposureError(*s.task));
    EXPECT_EQ(1, objectsBeyond(baseline));  // only the cotask, held by the viewer
    s.viewer.reset();
    EXPECT_EQ(0, TestCotask::alive.load());
    EXPECT_EQ(0, objectsBeyond(baseline));
}

TEST(TrackingTaskLifeCycle, UnansweredStartLeavesNothingBehind) {
    {
        Started s(false);
        EXPECT_FALSE(s.started);
        EXPECT_FALSE(s.network->host);
        EXPECT_EQ("Task is finished", exposureError(*s.task));
        EXPECT_EQ(1, TestCotask::alive.load());
    }
    EXPECT_EQ(0, TestCotask::alive.load());
}

TEST(TrackingTaskLifeCycle, ReleasesOnOtherThreadsAreSafe) {
    for (int round = 0; round < 200; ++round) {
        int releasesBefore = TestCotask::allDeviceReleases.load();
        Started s;
        ASSERT_TRUE(s.started);
        FakeNetwork* network = s.network;
        std::atomic<bool> go{false};
        // The library's delivery thread sends packets until it lets go of the connection.
        std::thread library([&] {
            while (!go.load()) {
            }
            for (int i = 0; i < 50; ++i) {
                network->deliver(2, {1, 0, 2, 0, 3, 0});
                network->deliver(7, {0x00, 0x80, 0x00, 0x80, 0x1F});
            }
            network->host.reset();
        });
        // The viewer polls, sends, and lets go on its own thread.
        std::thread viewer([&] {
            go.store(true);
            for (int i = 0; i < 20; ++i) {
                s.finished();
                try {
                    s.task->exposure(i);
                } catch (const std::exception&) {
                }
            }
            if (round % 2)
                s.viewer.reset();
        });
        library.join();
        viewer.join();
        s.viewer.reset();
        // In odd rounds the task may already be gone: only the counters outlive it.
        EXPECT_EQ(releasesBefore + 1, TestCotask::allDeviceReleases.load());
        EXPECT_EQ(0, TestCotask::alive.load());
        EXPECT_EQ(0, FakeDevice::alive.load());
    }
}
