// The tracking task's packets through the host's whole receive path: interop, point stream and
// cotask (with a fixed calibration), as the device-network library delivers them.
//
// Input: packets, each an id byte (taken modulo 27, so that 26 stands for every unknown id),
// a length byte and that many payload bytes (fewer when the input ends).

#include <cmath>
#include <cstdio>

#include "FuzzInput.h"
#include "QuietLog.h"
#include "interface_contract/Remap.h"
#include "tracking/runtime/stream/TrackingCotask.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::Ref;

namespace {

// Checks what reaches the subclass: every point the cotask hands on is an undistorted,
// finite image point.
class CheckingCotask final : public Cotask {
public:
    CheckingCotask() { calibrate(GeometrySettings{}, 2.0f); }

protected:
    void onAccelerometer(const KestrelMath::vector3<float>&) override {}
    void onGyroscope(const KestrelMath::vector3<float>&) override {}
    void onFrame() override {}
    void onRay(float x, float y, int32_t) override {
        if (!std::isfinite(x) || !std::isfinite(y))
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDebugLog();
    std::freopen("/dev/null", "w", stdout);  // the point stream reports bad sequences there
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    auto* cotask = new CheckingCotask;
    auto viewer = Ref<Kestrel::DeviceNetwork::ICotask>::share(cotask);
    auto connection = wireTrackingTask(*cotask);
    while (!in.empty()) {
        const uint8_t id = in.byte() % 27;
        const std::string_view payload = in.bytes(in.byte());
        Kestrel::DeviceNetwork::Packet packet{id, payload.empty() ? nullptr : payload.data(), uint32_t(payload.size())};
        connection->onPacket(&packet, 0.0);
    }
    return 0;
}
