// The tracking pipeline fed by the replay player: stepping ten frames gives exactly ten runs of
// the optical step, each that of the recorded frame (the same rays as when the recording is
// played by its recorded times), in order; while paused nothing runs; one frame back (a new task,
// as a viewer starts it again) gives the previous frame's run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "device_network/client/TaskStart.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "recording/RecordingReader.h"
#include "recording/ReplayNetwork.h"
#include "recording/TapConnection.h"
#include "tests/EnvironmentVariables.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

namespace {

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using Orb::Tracking::ITrackingCotask;
using Orb::Tracking::OrbTracking;
using Orb::Tracking::Ray;

// A host that takes every packet; holding the device keeps the task running.
class Listener final : public Implements<DeviceNetwork::Interop::IConnection> {
public:
    ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet*, double) override { return S_OK_CODE; }
    ResultCode KESTREL_CALL setPeer(IInterface* device) override {
        device_ = Ref<IInterface>::share(device);
        return S_OK_CODE;
    }

private:
    Ref<IInterface> device_;
};

// One second of a moving simulated tracker's tracking task, recorded from its start.
std::shared_ptr<const Recording::Recording> simulatorRecording() {
    const std::string scenario = testing::TempDir() + "replay_tracking_scenario.json";
    std::ofstream(scenario) << R"({"clock": "fast", "seed": 5, "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "circle", "centre": [0, 0.6, 0],
         "radius": 0.3, "period": 8, "jitter": true}}]})";
    setenv("KESTREL_SIMULATION", scenario.c_str(), 1);
    auto library = load<DeviceNetwork::ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
    unsetenv("KESTREL_SIMULATION");
    if (!library)
        return nullptr;
    std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
    InArray in = inArray(filter);
    Ref<DeviceNetwork::INodeNetwork> network;
    check(library.get(), library->createNetwork(&in, network.out()));
    auto control = library.query<DeviceSimulator::ISimulationControl>();
    const std::string path = testing::TempDir() + "replay_tracking.orbrec";
    auto tap = std::make_shared<Recording::TaskTap>(Recording::taskIdentity(*network.get(), 2, DeviceSimulator::trackingTaskId));
    double start = 0;
    check(control.get(), control->getTime(&start));
    tap->startWriting(path, start);
    if (!DeviceNetwork::Client::startTask(*network.get(), 2, DeviceSimulator::trackingTaskId,
                                          Recording::makeTapConnection(tap, makeInterfaced<Listener, DeviceNetwork::Interop::IConnection>())))
        return nullptr;
    for (int step = 0; step < 200; ++step)
        check(control.get(), control->advance(0.005));
    tap->stopWriting();
    return std::make_shared<const Recording::Recording>(Recording::readRecordingFile(path));
}

struct Pipeline {
    Ref<ITrackingCotask> cotask;
    OrbTracking* tracking = nullptr;

    explicit Pipeline(Recording::ReplayNetwork& replay) {
        auto network = Ref<DeviceNetwork::INodeNetwork>::share(&replay);
        // The simulator's default tile floor, which the recorded tracker flies over.
        auto environment = Orb::Tracking::createEnvironment("AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==");
        cotask = makeInterfaced<OrbTracking, ITrackingCotask>(network, replay.trackerNode(), environment);
        tracking = static_cast<OrbTracking*>(cotask.get());
        EXPECT_TRUE(Orb::Tracking::startTrackingTask(replay, replay.trackerNode(), *tracking));
    }

    // The rays of the next run of the optical step, which `run` brings about; empty and false
    // when the step does not run within `timeout`.
    bool finished() {
        Boolean f = BooleanFalse;
        check(cotask.get(), cotask->isFinished(&f));
        return f != BooleanFalse;
    }

    template <class Run>
    bool nextFrame(Run run, std::vector<Ray>& rays, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
        bool served = false;
        std::thread requester([&] {
            served = tracking->opticsHook.request([&](const Orb::Tracking::OpticFrame& f) { rays = f.rays; }, timeout);
        });
        while (!tracking->opticsHook.isRequested())
            std::this_thread::yield();
        run();
        requester.join();
        return served;
    }
};

bool sameRays(const std::vector<Ray>& a, const std::vector<Ray>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].point.x() != b[i].point.x() || a[i].point.y() != b[i].point.y() || a[i].value != b[i].value)
            return false;
    return true;
}

TEST(ReplayTracking, StepsRunOneRecordedFrameEachAndBackRunsThePreviousAgain) {
    auto recording = simulatorRecording();
    ASSERT_TRUE(recording);

    // Reference: the recording played by its recorded times, up to each frame's end.
    auto reference = makeInterfaced<Recording::ReplayNetwork, Recording::ReplayNetwork>(recording, 10, true);
    const Recording::ReplaySchedule& schedule = reference->player().schedule();
    ASSERT_GT(schedule.frameCount(), 150u);
    // The pipeline runs its optical step once its inertial start is done (0.25 s here): the
    // frames looked at begin at 0.6 s.
    const size_t first = 120;
    auto closing = [&](size_t frame) { return schedule.record(schedule.frameEnd(frame) - 1).time; };
    std::vector<std::vector<Ray>> expected(10);
    {
        Pipeline pipeline(*reference.get());
        reference->player().deliverUntil(closing(first - 1));
        for (size_t k = 0; k < 10; ++k) {
            ASSERT_TRUE(pipeline.nextFrame([&] { reference->player().deliverUntil(closing(first + k)); }, expected[k])) << k;
            ASSERT_FALSE(expected[k].empty()) << k;
        }
        EXPECT_FALSE(sameRays(expected[8], expected[9])) << "the tracker moves: frames differ";
    }

    auto replay = makeInterfaced<Recording::ReplayNetwork, Recording::ReplayNetwork>(recording, 20, true);
    Recording::ReplayPlayer& player = replay->player();
    player.startClock();
    auto stepped = std::make_unique<Pipeline>(*replay.get());
    player.seekFrame(long(first) - 1);
    ASSERT_TRUE(player.waitUntilSettled(5));
    for (size_t k = 0; k < 10; ++k) {
        std::vector<Ray> rays;
        ASSERT_TRUE(stepped->nextFrame([&] { player.stepForward(); }, rays)) << "step " << k;
        EXPECT_TRUE(sameRays(rays, expected[k])) << "step " << k << ": " << rays.size() << " rays, expected "
                                                 << expected[k].size();
        ASSERT_TRUE(player.waitUntilSettled(5));
    }
    // Paused: the optical step does not run again.
    std::vector<Ray> none;
    EXPECT_FALSE(stepped->nextFrame([] {}, none, std::chrono::milliseconds(300)));

    // One frame back ends the task; a task started again runs every frame up to the ninth
    // stepped one.
    player.stepBack();
    for (int i = 0; i < 1000 && !stepped->finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(stepped->finished());
    stepped.reset();
    Pipeline second(*replay.get());
    ASSERT_TRUE(player.waitUntilSettled(5));
    EXPECT_EQ(player.status().frame, long(first) + 8);
    std::vector<Ray> again;
    // The ninth frame has run during the restart; the next step brings the tenth again.
    ASSERT_TRUE(second.nextFrame([&] { player.stepForward(); }, again));
    EXPECT_TRUE(sameRays(again, expected[9]));
    player.close();
}

} // namespace
