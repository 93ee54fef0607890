#pragma once
// The simulated network's own control interface, answered by its ILibrary object. Tests and
// orbtool use it; the program never does.

#include "device_network/DeviceNetworkInterfaces.h"

namespace Kestrel::DeviceSimulator {

using DeviceNetwork::Boolean;
using DeviceNetwork::NodeHandle;
using DeviceNetwork::ResultCode;

struct ISimulationControl : InterfaceContract::IInterface {
    using Base = InterfaceContract::IInterface;
    static constexpr InterfaceContract::InterfaceId iid =
        InterfaceContract::makeInterfaceId("3C0F5E8A-91B2-4D7C-A6E4-5B8D2F1C7A90");
    // slot 3: the current simulation time in seconds (0 when the library was loaded).
    virtual ResultCode KESTREL_CALL getTime(double* seconds) = 0;
    // slot 4: whether the scenario's clock is "fast" (advanced by the caller).
    virtual ResultCode KESTREL_CALL isFastClock(Boolean* fast) = 0;
    // slot 5: fast clock only: moves the time on by `seconds` (>= 0) and returns when every
    // running task has delivered its packets up to the new time. E_FAIL on a real-time clock,
    // E_INVALIDARG for a negative or non-finite step.
    virtual ResultCode KESTREL_CALL advance(double seconds) = 0;
    // slot 6: the true pose of tracker `node` at `time`: pose[0..2] the position of its centre
    // in environment coordinates (metres), pose[3..6] its rotation (x, y, z, w) from tracker to
    // environment. E_INVALIDARG for a handle that is not a tracker of the scenario.
    virtual ResultCode KESTREL_CALL getGroundTruth(NodeHandle node, double time, double* pose) = 0;
    // slot 7: the number of task threads still running.
    virtual ResultCode KESTREL_CALL getRunningTaskCount(uint32_t* count) = 0;
};

} // namespace Kestrel::DeviceSimulator
