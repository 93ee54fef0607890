#pragma once
// Root object of the simulated network library: ILibrary for the program, ISimulationControl
// for tests and tools. Its simulation starts (and a real-time clock runs) from its creation.

#include <memory>

#include "device_network/DeviceNetworkInterfaces.h"
#include "device_simulator/SimulationControl.h"
#include "interface_contract/Remap.h"

namespace Kestrel::DeviceSimulator {

class Simulation;

class SimulatedLibrary final : public InterfaceContract::Implements<DeviceNetwork::ILibrary>,
                               public InterfaceContract::Implements<ISimulationControl> {
public:
    SimulatedLibrary();

    // ILibrary
    // A network of the devices named by `filter` (DeviceType entries; empty: none).
    ResultCode KESTREL_CALL createNetwork(InterfaceContract::InArray* filter, void** network) override;
    ResultCode KESTREL_CALL reserved4() override;
    // Accepts the value 6, which the program passes; E_INVALIDARG for any other.
    ResultCode KESTREL_CALL setSetting(uint32_t value) override;

    // ISimulationControl
    ResultCode KESTREL_CALL getTime(double* seconds) override;
    ResultCode KESTREL_CALL isFastClock(Boolean* fast) override;
    ResultCode KESTREL_CALL advance(double seconds) override;
    ResultCode KESTREL_CALL getGroundTruth(NodeHandle node, double time, double* pose) override;
    ResultCode KESTREL_CALL getRunningTaskCount(uint32_t* count) override;

private:
    std::shared_ptr<Simulation> simulation_;
};

} // namespace Kestrel::DeviceSimulator
