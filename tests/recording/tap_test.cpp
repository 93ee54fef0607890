// The recording taps: what passes through them reaches the task and the device unchanged
// (results and error messages included), and what they write is every packet both ways with
// its time since the first one.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "../tracking/runtime/FakeNetwork.h"
#include "device_network/client/ConnectionTap.h"
#include "device_network/client/TaskStart.h"
#include "interface_contract/DebugLog.h"
#include "recording/NetworkRecorder.h"
#include "recording/RecordingReader.h"

namespace {

using namespace FakeNetworkTest;
using Kestrel::Recording::Direction;
using Kestrel::Recording::NetworkRecorder;
using Kestrel::Recording::readRecordingFile;

constexpr InterfaceId trackingTask = makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
constexpr NodeHandle node = 5;

struct Received {
    uint8_t id;
    std::string payload;
    double time;
    bool operator==(const Received& o) const { return id == o.id && payload == o.payload && time == o.time; }
};

// The task's own connection: keeps every packet, refuses id 99, and keeps the peer it is given.
class CapturingHost final : public Implements<Interop::IConnection> {
public:
    std::vector<Received> received;
    Ref<Interop::IDataReceiver> peer;

    ResultCode KESTREL_CALL onPacket(const Packet* packet, double timestamp) override {
        return guard([&] {
            if (packet->id == 99)
                throw std::runtime_error("host refused");
            received.push_back({packet->id, std::string(static_cast<const char*>(packet->payload), packet->size),
                                timestamp});
        });
    }
    ResultCode KESTREL_CALL setPeer(IInterface* device) override {
        return guard([&] { peer = Ref<IInterface>::share(device).queryChecked<Interop::IDataReceiver>(); });
    }
};

struct Started {
    Ref<FakeNetwork> network = makeInterfaced<FakeNetwork, FakeNetwork>();
    Ref<CapturingHost> host = makeInterfaced<CapturingHost, CapturingHost>();

    Started() {
        network->properties["sys/GeometrySettings.b"] = std::string("geometry\0bytes", 14);
        network->properties["sys/MaximumViewAngle.b"] = "\x92\x0A\x06\x40";
        auto connection = Ref<Interop::IConnection>::share(host.get());
        EXPECT_TRUE(Kestrel::DeviceNetwork::Client::startTask(*network.get(), node, trackingTask, connection));
    }
    ResultCode deliver(uint8_t id, const std::string& payload, double time) {
        Packet packet{id, payload.data(), uint32_t(payload.size())};
        return network->host->onPacket(&packet, time);
    }
    ResultCode send(uint8_t id, const std::string& payload) {
        Packet packet{id, payload.data(), uint32_t(payload.size())};
        return host->peer->onPacket(&packet, 0.0);
    }
    // The library and the host let go, as at the end of a task.
    void end() {
        network->host.reset();
        host->peer.reset();
    }
};

// One sequence of packets both ways; returns what the host and the device saw and answered.
struct Seen {
    std::vector<Received> host;
    std::vector<SentPacket> device;
    std::vector<ResultCode> codes;
    std::vector<std::string> messages;
};

Seen exercise(Started& s) {
    Seen seen;
    auto note = [&](IUnsafe* callee, ResultCode code) {
        seen.codes.push_back(code);
        try {
            check(callee, code);
            seen.messages.push_back("");
        } catch (const Exception& e) {
            seen.messages.push_back(e.message());
        }
    };
    note(s.network->host.get(), s.deliver(2, std::string("\x01\x00\x02\x00\x03\x00", 6), 10.0));
    note(s.network->host.get(), s.deliver(0, "", 10.5));
    note(s.network->host.get(), s.deliver(99, "x", 10.75));
    note(s.host->peer.get(), s.send(9, std::string("\xF4\x01\x00\x00", 4)));
    s.network->device->failSends = true;
    note(s.host->peer.get(), s.send(13, "\x01"));
    s.network->device->failSends = false;
    note(s.network->host.get(), s.deliver(1, "temp", 11.25));
    seen.host = s.host->received;
    seen.device = s.network->device->packets();
    return seen;
}

// Each test records into a fresh folder, so that files of earlier runs do not change the names.
class RecordingTap : public ::testing::Test {
protected:
    void SetUp() override {
        NetworkRecorder::instance().install();
        folder_ = ::testing::TempDir() + "recording_tap_" + std::to_string(std::random_device{}());
        ASSERT_TRUE(std::filesystem::create_directory(folder_)) << folder_;
    }
    void TearDown() override {
        NetworkRecorder::instance().stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

TEST_F(RecordingTap, WhatPassesIsTheSameWithAndWithoutTheTapAndWhileRecording) {
    const auto installed = Kestrel::DeviceNetwork::Client::setConnectionTap({});
    Started plain;
    const Seen without = exercise(plain);
    Kestrel::DeviceNetwork::Client::setConnectionTap(installed);

    Started tapped;
    EXPECT_NE(static_cast<void*>(tapped.network->host.get()), static_cast<void*>(tapped.host.get()));
    const Seen with = exercise(tapped);

    Started recorded;
    NetworkRecorder::instance().start(folder(), "same");
    const Seen whileRecording = exercise(recorded);
    NetworkRecorder::instance().stop();

    for (const Seen* other : {&with, &whileRecording}) {
        EXPECT_EQ(other->host, without.host);
        ASSERT_EQ(other->device.size(), without.device.size());
        for (size_t i = 0; i < without.device.size(); ++i) {
            EXPECT_EQ(other->device[i].id, without.device[i].id);
            EXPECT_EQ(other->device[i].payload, without.device[i].payload);
        }
        EXPECT_EQ(other->codes, without.codes);
        EXPECT_EQ(other->messages, without.messages);
    }
    // The refusals really were refusals, with the callee's words.
    EXPECT_EQ(without.messages[2], "host refused");
    EXPECT_EQ(without.messages[4], "device refused");
    EXPECT_EQ(without.host.size(), 3u);
    EXPECT_EQ(without.device.size(), 1u);
}

TEST_F(RecordingTap, RecordsBothWaysWithTimesSinceTheFirstPacket) {
    Started s;
    const auto before = std::chrono::system_clock::now();
    const auto files = NetworkRecorder::instance().start(folder(), "both");
    const auto after = std::chrono::system_clock::now();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], folder() + "/both_node5_tracking.orbrec");
    exercise(s);
    EXPECT_EQ(NetworkRecorder::instance().stop(), files);

    const auto r = readRecordingFile(files[0]);
    EXPECT_EQ(r.header.node, node);
    EXPECT_EQ(r.header.task, trackingTask);
    EXPECT_EQ(r.header.geometrySettings, std::string("geometry\0bytes", 14));
    EXPECT_EQ(r.header.maximumViewAngle, "\x92\x0A\x06\x40");
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    EXPECT_GE(r.header.startTimeMicroseconds, duration_cast<microseconds>(before.time_since_epoch()).count());
    EXPECT_LE(r.header.startTimeMicroseconds, duration_cast<microseconds>(after.time_since_epoch()).count());

    // Device packets at 10, 10.5, 10.75 (refused by the host, still what the device sent) and
    // 11.25; host packets take the time of the latest device packet, refused or not.
    struct Expected {
        double time;
        Direction direction;
        uint8_t id;
        size_t size;
    };
    const Expected expected[] = {{0.0, Direction::DeviceToHost, 2, 6},   {0.5, Direction::DeviceToHost, 0, 0},
                                 {0.75, Direction::DeviceToHost, 99, 1}, {0.75, Direction::HostToDevice, 9, 4},
                                 {0.75, Direction::HostToDevice, 13, 1}, {1.25, Direction::DeviceToHost, 1, 4}};
    ASSERT_EQ(r.records.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.records[i].time, expected[i].time);
        EXPECT_EQ(r.records[i].direction, expected[i].direction);
        EXPECT_EQ(r.records[i].id, expected[i].id);
        EXPECT_EQ(r.records[i].payload.size(), expected[i].size);
    }
    EXPECT_EQ(r.records[3].payload, std::string("\xF4\x01\x00\x00", 4));
}

TEST_F(RecordingTap, ATaskStartedDuringTheRecordingJoinsItAndItsEndClosesItsFile) {
    EXPECT_TRUE(NetworkRecorder::instance().start(folder(), "late").empty());
    EXPECT_TRUE(NetworkRecorder::instance().recording());
    EXPECT_THROW(NetworkRecorder::instance().start(folder(), "again"), std::runtime_error);
    std::string path;
    {
        Started s;
        EXPECT_EQ(NetworkRecorder::instance().runningTasks(), 1u);
        s.deliver(0, "", 3.0);
        s.deliver(0, "", 3.125);
        s.end();
        EXPECT_EQ(NetworkRecorder::instance().runningTasks(), 0u);
    }
    // A second task on the same node gets a file of its own.
    Started again;
    again.deliver(0, "", 7.0);
    const auto files = NetworkRecorder::instance().stop();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], folder() + "/late_node5_tracking.orbrec");
    EXPECT_EQ(files[1], folder() + "/late_node5_tracking_2.orbrec");
    const auto first = readRecordingFile(files[0]);
    ASSERT_EQ(first.records.size(), 2u);
    EXPECT_EQ(first.records[1].time, 0.125);
    EXPECT_EQ(readRecordingFile(files[1]).records.size(), 1u);
    EXPECT_FALSE(NetworkRecorder::instance().recording());
    for (const auto& f : files)
        std::remove(f.c_str());
}

TEST_F(RecordingTap, AFolderThatCannotBeWrittenRecordsNothingAndTheTaskRunsOn) {
    Started s;
    EXPECT_TRUE(NetworkRecorder::instance().start("/nonexistent/recordings", "x").empty());
    EXPECT_EQ(s.deliver(2, "abcdef", 1.0), S_OK_CODE);
    EXPECT_EQ(s.host->received.size(), 1u);
    EXPECT_TRUE(NetworkRecorder::instance().stop().empty());
}

#ifdef __linux__
// A full disk: the recording stops with a log line, the packets keep flowing, and the file
// is not reported as a finished recording of the task.
TEST(TaskTap, AFullDiskStopsTheRecordingNotTheTask) {
    std::vector<std::string> lines;
    const auto previous = Kestrel::setDebugLogSink([&](const std::string& line) { lines.push_back(line); });
    Kestrel::Recording::TaskTap tap(Kestrel::Recording::Header{});
    tap.startWriting("/dev/full", 0.0);
    const std::string payload(100, 'p');
    Packet packet{2, payload.data(), uint32_t(payload.size())};
    for (int i = 0; i < 1000 && tap.writing(); ++i)
        tap.deviceToHost(packet, i * 0.0005);
    Kestrel::setDebugLogSink(previous);
    EXPECT_FALSE(tap.writing());
    EXPECT_TRUE(tap.stopWriting().empty());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Recording of node 0 stopped: Cannot write recording /dev/full"), std::string::npos)
        << lines[0];
}
#endif

} // namespace
