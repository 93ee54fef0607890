// The tracking task's packets into the whole tracking pipeline: interop, point stream, the
// tracking cotask with the simulator's calibration, the simulator's default tile floor and the
// pose optimisation on its own thread.
//
// Input: packets as for tracking_stream_fuzz (id byte modulo 27, length byte, payload). After
// every frame start the harness waits for the optimiser to take the frame before, so that a
// run follows the input alone; the pipeline's clock advances 5 ms per frame.

#include <atomic>
#include <stdexcept>

#include "FuzzInput.h"
#include "QuietLog.h"
#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/scene/Scenario.h"
#include "interface_contract/Remap.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::Ref;

namespace {

struct Setting {
    GeometrySettings calibration;
    float viewAngle = 0;
    Ref<IEnvironment> floor;
};

Setting* setting = nullptr;
std::atomic<int64_t> nanoseconds{0};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDebugLog();
    std::freopen("/dev/null", "w", stdout);  // the point stream reports bad sequences there
    auto camera = Kestrel::DeviceSimulator::simulatedCamera();
    setting = new Setting{parseGeometrySettings(camera->geometrySettingsRecord()),
                          parseMaximumViewAngle(camera->maximumViewAngleRecord()),
                          createEnvironment(Kestrel::DeviceSimulator::defaultEnvironmentCode())};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    nanoseconds = 0;
    auto cotask = Kestrel::InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(
        setting->calibration, setting->viewAngle, setting->floor, [] { return nanoseconds.load(); });
    auto* tracking = static_cast<OrbTracking*>(cotask.get());
    auto connection = wireTrackingTask(*tracking);
    while (!in.empty()) {
        const uint8_t id = in.byte() % 27;
        const std::string_view payload = in.bytes(in.byte());
        if (id == 0) {
            tracking->sharedState().waitUntilOptimizerIdle(5.0);
            nanoseconds += 5'000'000;
        }
        Kestrel::DeviceNetwork::Packet packet{id, payload.empty() ? nullptr : payload.data(), uint32_t(payload.size())};
        connection->onPacket(&packet, 0.0);
    }
    tracking->sharedState().waitUntilOptimizerIdle(5.0);
    State state{};
    cotask->readState(0.1f, &state);
    return 0;
}
