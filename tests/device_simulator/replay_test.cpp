// A scenario tracker that plays back a recording: its properties and task come from the file,
// its packets reach the host at their recorded times after the task's start, looping when
// asked; the host's packets are taken and not acted on; a damaged file is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "FakeHost.h"
#include "StreamDecoder.h"
#include "device_network/client/TaskStart.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "recording/NetworkRecorder.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingWriter.h"
#include "tests/EnvironmentVariables.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using DeviceNetwork::ILibrary;
using DeviceNetwork::INodeNetwork;
using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;
using DeviceSimulator::ISimulationControl;
using Recording::Direction;

namespace {

struct Loaded {
    Ref<ILibrary> library;
    Ref<INodeNetwork> network;
    Ref<ISimulationControl> control;
};

// Writes `json` beside the recordings (so relative "replay" paths resolve there) and loads
// the simulated network with it.
Loaded loadScenario(const std::string& name, const std::string& json) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << json;
    setenv("KESTREL_SIMULATION", path.c_str(), 1);
    Loaded l;
    l.library = load<ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
    unsetenv("KESTREL_SIMULATION");
    if (!l.library)
        return l;
    std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
    InArray in = inArray(filter);
    check(l.library.get(), l.library->createNetwork(&in, l.network.out()));
    l.control = l.library.query<ISimulationControl>();
    return l;
}

std::string scenarioWith(const std::string& replayFields) {
    return R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
              {"handle": 2, "parent": 1, "kind": "tracker", )" + replayFields + "}]}";
}

constexpr char liveScenario[] = R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
    {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "circle", "centre": [0, 0.6, 0],
     "radius": 0.3, "period": 8, "jitter": true}}]})";

// A tracking recording of node 2: temperature at 0, a gyroscope sample at 0.001, the host's
// exposure at 0.001 (never played), a frame start at 0.0025.
void writeRecording(const std::string& name) {
    Recording::Header header;
    header.node = 2;
    header.task = DeviceSimulator::trackingTaskId;
    header.geometrySettings = "recorded geometry";
    header.maximumViewAngle = std::string("\x00\x00\x80\x3F", 4);
    Recording::RecordingWriter writer(testing::TempDir() + name, header);
    writer.append({0.0, Direction::DeviceToHost, 1, "temp"});
    writer.append({0.001, Direction::DeviceToHost, 2, std::string("\x01\x00\x02\x00\x03\x00", 6)});
    writer.append({0.001, Direction::HostToDevice, 9, std::string("\x14\x00\x00\x00", 4)});
    writer.append({0.0025, Direction::DeviceToHost, 0, ""});
    writer.close();
}

Ref<IDataReceiver> start(INodeNetwork* network, const InterfaceId& task, const std::shared_ptr<HostRecord>& record) {
    Ref<IConnection> host = makeInterfaced<FakeHost, IConnection>(record);
    Ref<IDataReceiver> device;
    check(network, network->startTask(2, &task, host.detach(), device.out()));
    return device;
}

std::string property(INodeNetwork* network, std::string_view name, ResultCode& code) {
    std::string bytes;
    OutArray out = outArray(bytes);
    InArray key = inArray(name);
    code = network->readProperty(2, &key, &out);
    return bytes;
}

void expectPackets(const std::vector<ReceivedPacket>& packets, const std::vector<std::pair<uint8_t, double>>& expected) {
    ASSERT_EQ(packets.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(packets[i].id, expected[i].first);
        EXPECT_DOUBLE_EQ(packets[i].time, expected[i].second);
    }
}

TEST(Replay, TrackerOffersTheRecordedTaskAndProperties) {
    writeRecording("props.orbrec");
    Loaded l = loadScenario("props.json", scenarioWith(R"("replay": "props.orbrec")"));
    ASSERT_TRUE(l.network);
    Boolean tracking = 0, debug = 1;
    check(l.network.get(), l.network->isTaskSupported(2, &DeviceSimulator::trackingTaskId, &tracking));
    check(l.network.get(), l.network->isTaskSupported(2, &DeviceSimulator::debugTaskId, &debug));
    EXPECT_TRUE(tracking);
    EXPECT_FALSE(debug);
    ResultCode code = 0;
    EXPECT_EQ(property(l.network.get(), "sys/GeometrySettings.b", code), "recorded geometry");
    EXPECT_EQ(code, S_OK_CODE);
    EXPECT_EQ(property(l.network.get(), "sys/MaximumViewAngle.b", code), std::string("\x00\x00\x80\x3F", 4));
    property(l.network.get(), "sys/Other.b", code);
    EXPECT_EQ(code, E_FAIL_CODE);
    // The debug task is not started on a replaying tracker.
    auto record = std::make_shared<HostRecord>();
    EXPECT_FALSE(start(l.network.get(), DeviceSimulator::debugTaskId, record));
}

TEST(Replay, PacketsArriveAtTheirRecordedTimesAndTheHostIsNotActedOn) {
    writeRecording("once.orbrec");
    Loaded l = loadScenario("once.json", scenarioWith(R"("replay": "once.orbrec")"));
    check(l.control.get(), l.control->advance(0.5));  // the task starts at 0.5 s
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), DeviceSimulator::trackingTaskId, record);
    ASSERT_TRUE(device);
    check(l.control.get(), l.control->advance(0.0015));
    expectPackets(record->take(), {{1, 0.5}, {2, 0.501}});
    EXPECT_EQ(record->take()[1].payload, std::string("\x01\x00\x02\x00\x03\x00", 6));

    // Any host packet is taken, even one a live tracker would refuse.
    const std::string bytes = "abc";
    DeviceNetwork::Packet unknown{77, bytes.data(), 3}, exposure{9, bytes.data(), 2};
    EXPECT_EQ(device->onPacket(&unknown, 0), S_OK_CODE);
    EXPECT_EQ(device->onPacket(&exposure, 0), S_OK_CODE);

    // The recorded host packet is not played; after the end the tracker stays silent.
    check(l.control.get(), l.control->advance(2.0));
    expectPackets(record->take(), {{1, 0.5}, {2, 0.501}, {0, 0.5025}});
    device.reset();
}

TEST(Replay, LoopStartsAgainAfterTheLastPacket) {
    writeRecording("loop.orbrec");
    Loaded l = loadScenario("loop.json", scenarioWith(R"("replay": "loop.orbrec", "loop": true)"));
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), DeviceSimulator::trackingTaskId, record);
    ASSERT_TRUE(device);
    // One pass lasts to the last packet plus one inertial period: 0.0025 + 0.0005 = 0.003 s.
    check(l.control.get(), l.control->advance(0.0061));
    expectPackets(record->take(), {{1, 0.0}, {2, 0.001}, {0, 0.0025}, {1, 0.003}, {2, 0.004}, {0, 0.0055}, {1, 0.006}});
}

// What a host's point stream makes of the optical packets in `packets`.
struct StreamCheck {
    int frames = 0;
    int invalid = 0;  // point packets with a delta whose reference is missing
    int deltaPackets = 0;
    size_t optical = 0, other = 0;
};

StreamCheck decodeStream(const std::vector<ReceivedPacket>& packets) {
    StreamDecoder::PointStream stream;
    StreamCheck result;
    for (const ReceivedPacket& p : packets) {
        if (p.id == 0 || (p.id >= 7 && p.id <= 25)) {
            ++result.optical;
            result.deltaPackets += p.id >= 15 ? 1 : 0;
            result.invalid += stream.feed(p.id, p.payload) ? 0 : 1;
        } else {
            ++result.other;
        }
    }
    result.frames = stream.frames;
    return result;
}

// The recording of the live tracker starts at 0.3 s, between the key frames at 0 and 0.5 s, so
// its first frames are deltas against frames it does not hold. The file keeps them; the replay
// begins its frames with the key frame, on every pass of a loop.
TEST(Replay, ARecordingStartedMidTaskReplaysWithoutInvalidFrames) {
    std::string file;
    {
        Loaded live = loadScenario("midtask_live.json", liveScenario);
        ASSERT_TRUE(live.network);
        auto& recorder = Recording::NetworkRecorder::instance();
        recorder.install();
        auto record = std::make_shared<HostRecord>();
        ASSERT_TRUE(DeviceNetwork::Client::startTask(*live.network.get(), 2, DeviceSimulator::trackingTaskId,
                                                     makeInterfaced<FakeHost, IConnection>(record)));
        check(live.control.get(), live.control->advance(0.3));
        const auto files = recorder.start(testing::TempDir(), "midtask");
        ASSERT_EQ(files.size(), 1u);
        check(live.control.get(), live.control->advance(1.0));
        ASSERT_EQ(recorder.stop(), files);
        file = files[0];
        std::lock_guard<std::mutex> lock(record->mutex);
        record->peer.reset();
    }
    const Recording::Recording recording = Recording::readRecordingFile(file);
    std::vector<ReceivedPacket> recorded;
    for (const Recording::Record& r : recording.records)
        if (r.direction == Direction::DeviceToHost)
            recorded.push_back({r.id, r.payload, r.time});
    const StreamCheck raw = decodeStream(recorded);
    ASSERT_GT(raw.invalid, 0) << "the recording should begin inside a run of delta frames";
    ASSERT_GT(raw.deltaPackets, 100);
    const double passLength = recorded.back().time + 0.0005;

    const std::string name = file.substr(file.rfind('/') + 1);
    Loaded l = loadScenario("midtask_replay.json", scenarioWith(R"("replay": ")" + name + R"(", "loop": true)"));
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), DeviceSimulator::trackingTaskId, record);
    ASSERT_TRUE(device);
    check(l.control.get(), l.control->advance(passLength - 0.0001));
    const std::vector<ReceivedPacket> firstPass = record->take();
    const StreamCheck once = decodeStream(firstPass);
    EXPECT_EQ(once.invalid, 0);
    EXPECT_EQ(once.other, raw.other);  // inertial and temperature packets are all played
    // Frames begin with the key frame the tracker sent at 0.5 s: 0.2 s into the recording.
    const auto firstFrame = std::find_if(firstPass.begin(), firstPass.end(), [](const auto& p) { return p.id == 0; });
    ASSERT_NE(firstFrame, firstPass.end());
    EXPECT_NEAR(firstFrame->time, 0.2, 0.006);
    size_t opticalFromKeyFrame = 0;
    for (const ReceivedPacket& p : recorded)
        opticalFromKeyFrame += p.time >= firstFrame->time && (p.id == 0 || (p.id >= 7 && p.id <= 25)) ? 1 : 0;
    EXPECT_EQ(once.optical, opticalFromKeyFrame);
    EXPECT_GT(once.frames, 100);

    check(l.control.get(), l.control->advance(passLength));
    const StreamCheck twice = decodeStream(record->take());
    EXPECT_EQ(twice.invalid, 0);
    EXPECT_EQ(twice.frames, 2 * once.frames);
    EXPECT_EQ(twice.other, 2 * once.other);
    device.reset();
    std::remove(file.c_str());
}

TEST(Replay, ADamagedOrMissingRecordingLeavesANetworkWithoutDevices) {
    writeRecording("whole.orbrec");
    std::ifstream whole(testing::TempDir() + "whole.orbrec", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(testing::TempDir() + "cut.orbrec", std::ios::binary) << bytes.substr(0, bytes.size() - 3);
    for (const char* fields : {R"("replay": "cut.orbrec")", R"("replay": "missing.orbrec")"}) {
        SCOPED_TRACE(fields);
        Loaded l = loadScenario("bad.json", scenarioWith(fields));
        ASSERT_TRUE(l.network);
        std::vector<uint32_t> nodes;
        OutArray out = outArray(nodes);
        check(l.network.get(), l.network->getNodes(&out));
        EXPECT_TRUE(nodes.empty());
    }
    Loaded loopAlone = loadScenario("loop_alone.json", scenarioWith(R"("loop": true)"));
    std::vector<uint32_t> nodes;
    OutArray out = outArray(nodes);
    check(loopAlone.network.get(), loopAlone.network->getNodes(&out));
    EXPECT_TRUE(nodes.empty());
}

} // namespace
