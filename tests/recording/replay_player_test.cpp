// The replay of a recording to the host connections of its tasks: which records form each
// frame, stepping frame by frame, going back (which restarts the tasks), joining late, looping
// and closing. Hand-made recordings: id 0 starts a frame, 7 carries full points, 16 deltas,
// 1 an inertial sample.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "interface_contract/Remap.h"
#include "interface_contract/Marshal.h"
#include "recording/ReplayNetwork.h"

namespace {

using namespace Kestrel::Recording;
using namespace Kestrel::InterfaceContract;
using Kestrel::DeviceNetwork::NodeHandle;
using Kestrel::DeviceNetwork::Packet;
using Kestrel::DeviceNetwork::Interop::IConnection;
using Kestrel::DeviceNetwork::Interop::IDataReceiver;

// Device-to-host records with the given ids, 10 ms apart from time 0; the payload is the
// record's index, so that every delivered packet names its record.
std::shared_ptr<const Recording> recordingOf(std::initializer_list<int> ids) {
    auto recording = std::make_shared<Recording>();
    int index = 0;
    for (int id : ids) {
        recording->records.push_back({0.01 * index, Direction::DeviceToHost, uint8_t(id), std::to_string(index)});
        ++index;
    }
    return recording;
}

// Frames 0..n-1: frame start, points (full in key frames, every fourth frame, deltas otherwise),
// then two inertial samples.
std::shared_ptr<const Recording> framesRecording(int n) {
    auto recording = std::make_shared<Recording>();
    for (int k = 0; k < n; ++k)
        for (int id : {0, k % 4 == 0 ? 7 : 16, 1, 1}) {
            const size_t index = recording->records.size();
            recording->records.push_back({0.0025 * double(index), Direction::DeviceToHost, uint8_t(id), std::to_string(index)});
        }
    return recording;
}

class Host final : public Implements<IConnection> {
public:
    explicit Host(std::shared_ptr<std::atomic<int>> released) : released_(std::move(released)) {}
    ~Host() override { ++*released_; }

    ResultCode KESTREL_CALL onPacket(const Packet* packet, double timestamp) override {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(std::stoi(std::string(static_cast<const char*>(packet->payload), packet->size)));
        times_.push_back(timestamp);
        return S_OK_CODE;
    }
    ResultCode KESTREL_CALL setPeer(IInterface*) override { return S_OK_CODE; }

    std::vector<int> records() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }
    std::vector<double> times() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_;
    }

private:
    std::shared_ptr<std::atomic<int>> released_;
    mutable std::mutex mutex_;
    std::vector<int> records_;
    std::vector<double> times_;
};

std::vector<int> range(int from, int to) {
    std::vector<int> out;
    for (int i = from; i < to; ++i)
        out.push_back(i);
    return out;
}

struct Connected {
    std::shared_ptr<std::atomic<int>> released = std::make_shared<std::atomic<int>>(0);
    Ref<Host> host;
    Ref<IDataReceiver> device;

    explicit Connected(ReplayPlayer& player) {
        host = makeInterfaced<Host, Host>(released);
        device = player.addSession(Ref<IConnection>::share(host.get()));
    }
};

TEST(ReplaySchedule, FramesAndWhatHasRun) {
    // Played: [1, 0, 7, 1, 0, 16, 1, 0] (the leading delta frame's 0 and 16 are left out).
    const ReplaySchedule s(recordingOf({0, 16, 1, 0, 7, 1, 0, 16, 1, 0}), true);
    EXPECT_EQ(s.size(), 8u);
    EXPECT_EQ(s.leftOut(), 2u);
    ASSERT_EQ(s.frameCount(), 3u);
    EXPECT_EQ(s.frameStart(0), 1u);
    EXPECT_EQ(s.frameStart(2), 7u);
    EXPECT_TRUE(s.selfContained(0));
    EXPECT_FALSE(s.selfContained(1));
    // Frame 0 has run once the start of frame 1 (position 4) is delivered.
    EXPECT_EQ(s.frameEnd(0), 5u);
    EXPECT_EQ(s.frameEnd(2), 8u);
    const long expected[] = {-1, -1, -1, -1, -1, 0, 0, 0, 2};
    for (size_t position = 0; position <= 8; ++position)
        EXPECT_EQ(s.frameAt(position), expected[position]) << position;
    // Records at 0.02, 0.03 s: every record up to 0.03 s is due.
    EXPECT_EQ(s.positionAfter(0.03), 2u);
    EXPECT_DOUBLE_EQ(s.duration(), 0.09 + ReplaySchedule::loopGap);
}

TEST(ReplayPlayer, StepsOneFrameAtATimeAndBackByRestarting) {
    ReplayPlayer player(std::make_shared<const ReplaySchedule>(framesRecording(12), true), 3);
    player.startClock();
    Connected first(player);
    for (int k = 0; k < 10; ++k) {
        player.stepForward();
        ASSERT_TRUE(player.waitUntilSettled(5));
        // Frame k has run: its records and the start of frame k + 1 (4 records a frame).
        EXPECT_EQ(first.host->records(), range(0, 4 * k + 5)) << "after step " << k;
        EXPECT_EQ(player.status().frame, k);
    }
    EXPECT_FALSE(player.status().playing);
    const size_t before = first.host->records().size();

    // Back to frame 8: the task is ended (the player lets go of its host), and the task started
    // again gets frames 0..8 at once.
    player.stepBack();
    first.device.reset();
    first.host.reset();
    EXPECT_EQ(*first.released, 1);
    Connected second(player);
    ASSERT_TRUE(player.waitUntilSettled(5));
    EXPECT_EQ(second.host->records(), range(0, 4 * 8 + 5));
    EXPECT_EQ(player.status().frame, 8);
    EXPECT_EQ(player.status().restarts, 1u);
    EXPECT_EQ(before, size_t(4 * 9 + 5));

    // Forward seeks do not restart.
    player.seekFrame(10);
    ASSERT_TRUE(player.waitUntilSettled(5));
    EXPECT_EQ(second.host->records(), range(0, 4 * 10 + 5));
    EXPECT_EQ(player.status().restarts, 1u);

    player.close();
    second.device.reset();
    second.host.reset();
    EXPECT_EQ(*second.released, 1) << "closing ends the connection";
    EXPECT_FALSE(player.addSession(Ref<IConnection>::share(Connected(player).host.get())));
}

TEST(ReplayPlayer, LateConnectionWaitsForASelfContainedFrame) {
    ReplayPlayer player(std::make_shared<const ReplaySchedule>(framesRecording(6), true), 3);
    player.deliverUntil(0.0025 * 5);  // records 0..5: frame 0 and the start of frame 1
    Connected late(player);
    player.deliverUntil(1);
    // Frames 1..3 are delta frames: only their inertial samples; frames 4 and 5 (a key frame and
    // its delta) whole.
    const std::vector<int> expected = {6, 7, 10, 11, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
    EXPECT_EQ(late.host->records(), expected);
}

TEST(ReplayPlayer, PlaysInRecordedTimeAndLoopsWithLaterTimes) {
    ReplayPlayer player(std::make_shared<const ReplaySchedule>(recordingOf({1, 1, 1}), false), 3);
    Connected host(player);
    player.setLoop(true);
    player.setRate(10);
    player.startClock();
    player.play();
    // Each pass lasts 0.0205 s of recording time, 2 ms at 10x.
    for (int i = 0; i < 2000 && host.host->records().size() < 7; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    player.close();
    const auto times = host.host->times();
    ASSERT_GE(times.size(), 7u);
    const double pass = 0.02 + ReplaySchedule::loopGap;
    const double expected[] = {0, 0.01, 0.02, pass, pass + 0.01, pass + 0.02, 2 * pass};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_NEAR(times[i], expected[i], 1e-12) << i;
}

TEST(ReplayNetwork, ServesTheRecordedTaskAndPropertiesOnItsNode) {
    auto recording = std::make_shared<Recording>();
    recording->header.task = makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
    recording->header.geometrySettings = "geometry";
    auto network = makeInterfaced<ReplayNetwork, ReplayNetwork>(std::shared_ptr<const Recording>(recording), 100, true);
    NodeHandle parent = 7;
    ASSERT_EQ(network->getParent(101, &parent), S_OK_CODE);
    EXPECT_EQ(parent, 100u);
    ASSERT_EQ(network->getParent(100, &parent), S_OK_CODE);
    EXPECT_EQ(parent, 0u);
    Boolean supported = BooleanTrue;
    const InterfaceId other = makeInterfaceId("2AD83E54-9F90-4C8F-9E40-34231CB5F898");
    network->isTaskSupported(101, &other, &supported);
    EXPECT_FALSE(supported);
    network->isTaskSupported(101, &recording->header.task, &supported);
    EXPECT_TRUE(supported);
    network->isTaskSupported(100, &recording->header.task, &supported);
    EXPECT_FALSE(supported) << "the root runs no task";
    std::string value;
    InArray key = inArray("sys/GeometrySettings.b");
    OutArray out = outArray(value);
    ASSERT_EQ(network->readProperty(101, &key, &out), S_OK_CODE);
    EXPECT_EQ(value, "geometry");
    InArray missing = inArray("sys/MaximumViewAngle.b");
    EXPECT_NE(network->readProperty(101, &missing, &out), S_OK_CODE);
}

} // namespace
