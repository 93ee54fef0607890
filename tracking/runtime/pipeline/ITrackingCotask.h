#pragma once
// What the viewers read of a running tracking task.

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/KestrelMath.h"
#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

// The tracker's (or a placed point's) state; 60 bytes across the ABI.
struct State {
    KestrelMath::vector<float, 3> position;  // metres, y up
    KestrelMath::quaternion<float> rotation;  // x, y, z, w
    KestrelMath::vector<float, 3> velocity;
    KestrelMath::vector<float, 3> angularVelocity;  // radians per second
    int32_t stabilityStage;                         // TrackingStage
    float stabilityValue;
};
static_assert(sizeof(State) == 60, "State crosses the ABI as 60 bytes");

// Placement (a point rigidly attached to the tracker) is the environments' value type.

struct ITrackingCotask : DeviceNetwork::ICotask {
    using Base = DeviceNetwork::ICotask;
    static constexpr InterfaceContract::InterfaceId iid =
        InterfaceContract::makeInterfaceId("6B0E42D1-93A7-4C5E-8F21-D4A7C3E95B08");
    // slot 3 (isFinished) from ICotask.
    // slot 4: the state of the point `placement` extrapolated by `seconds`, into *state.
    // Null pointers are E_POINTER.
    virtual InterfaceContract::ResultCode KESTREL_CALL readExtrapolatedState(const Placement* placement, float seconds,
                                                                            State* state) = 0;
    // slot 5: the tracker's state with its angular velocity averaged over `averagingSeconds`.
    // A null state is E_POINTER.
    virtual InterfaceContract::ResultCode KESTREL_CALL readState(float averagingSeconds, State* state) = 0;
};

} // namespace Kestrel::Orb::Tracking
