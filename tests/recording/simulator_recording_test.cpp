// Recording a task of the simulated network while it runs on the library's thread and the
// host sends from its own: the file holds exactly the packets the host received, in order,
// with their times since the first, and the host's packets in between.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>

#include "device_network/client/TaskStart.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "recording/NetworkRecorder.h"
#include "recording/RecordingReader.h"
#include "tests/EnvironmentVariables.h"

namespace {

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;
using Recording::Direction;

struct Received {
    uint8_t id;
    std::string payload;
    double time;
};

class Host final : public Implements<IConnection> {
public:
    std::mutex mutex;
    std::vector<Received> received;
    Ref<IDataReceiver> peer;

    ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet* packet, double timestamp) override {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back({packet->id, std::string(static_cast<const char*>(packet->payload), packet->size), timestamp});
        return S_OK_CODE;
    }
    ResultCode KESTREL_CALL setPeer(IInterface* device) override {
        return guard([&] {
            auto receiver = Ref<IInterface>::share(device).queryChecked<IDataReceiver>();
            std::lock_guard<std::mutex> lock(mutex);
            peer = receiver;
        });
    }
};

TEST(SimulatorRecording, TheFileHoldsWhatTheHostReceived) {
    const std::string scenario = testing::TempDir() + "recording_scenario.json";
    std::ofstream(scenario) << R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "circle", "centre": [0, 0.6, 0],
         "radius": 0.3, "period": 8, "jitter": true}}]})";
    setenv("KESTREL_SIMULATION", scenario.c_str(), 1);
    auto library = load<DeviceNetwork::ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
    unsetenv("KESTREL_SIMULATION");
    ASSERT_TRUE(library);
    std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
    InArray in = inArray(filter);
    Ref<DeviceNetwork::INodeNetwork> network;
    check(library.get(), library->createNetwork(&in, network.out()));
    auto control = library.query<DeviceSimulator::ISimulationControl>();

    auto& recorder = Recording::NetworkRecorder::instance();
    recorder.install();
    auto host = makeInterfaced<Host, Host>();
    ASSERT_TRUE(DeviceNetwork::Client::startTask(*network.get(), 2, DeviceSimulator::trackingTaskId,
                                                 Ref<IConnection>::share(host.get())));
    check(control.get(), control->advance(0.1));  // packets before the recording
    const size_t before = [&] {
        std::lock_guard<std::mutex> lock(host->mutex);
        return host->received.size();
    }();
    const auto files = recorder.start(testing::TempDir(), "simulator");
    ASSERT_EQ(files.size(), 1u);
    const int32_t exposure = 40;
    for (int step = 0; step < 50; ++step) {
        check(control.get(), control->advance(0.01));
        DeviceNetwork::Packet packet{9, &exposure, 4};
        check(host->peer.get(), host->peer->onPacket(&packet, 0.0));
    }
    ASSERT_EQ(recorder.stop(), files);
    check(control.get(), control->advance(0.1));  // and after
    const std::vector<Received> received = [&] {
        std::lock_guard<std::mutex> lock(host->mutex);
        return host->received;
    }();
    host->peer.reset();

    const auto recording = Recording::readRecordingFile(files[0]);
    std::vector<Recording::Record> fromDevice;
    size_t sent = 0;
    for (const auto& r : recording.records)
        (r.direction == Direction::DeviceToHost ? fromDevice.push_back(r) : void(++sent));
    EXPECT_EQ(sent, 50u);
    ASSERT_GT(fromDevice.size(), 2000u);  // 0.5 s: 2000 inertial samples and 100 frames
    ASSERT_LE(before + fromDevice.size(), received.size());
    const double origin = received[before].time;
    for (size_t i = 0; i < fromDevice.size(); ++i) {
        const Received& r = received[before + i];
        ASSERT_EQ(fromDevice[i].id, r.id) << i;
        ASSERT_EQ(fromDevice[i].payload, r.payload) << i;
        ASSERT_DOUBLE_EQ(fromDevice[i].time, r.time - origin) << i;
    }
    // The recording ended with the packets delivered up to its stop; the rest went on.
    EXPECT_GT(received.size(), before + fromDevice.size());
    EXPECT_EQ(recording.header.geometrySettings.size(), 1u + 442u * 8u);
    EXPECT_EQ(recording.header.maximumViewAngle.size(), 4u);
    std::remove(files[0].c_str());
}

} // namespace
