#pragma once
// The device side of a started task, handed to the host by startTask. The host sends its
// packets through onPacket; releasing the last reference ends the task.

#include <memory>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Remap.h"

namespace Kestrel::DeviceSimulator {

using DeviceNetwork::ResultCode;

class Simulation;
class TaskRunner;

class DeviceEndpoint final : public InterfaceContract::Implements<DeviceNetwork::Interop::IDataReceiver> {
public:
    DeviceEndpoint(std::shared_ptr<Simulation> simulation, std::shared_ptr<TaskRunner> runner);
    ~DeviceEndpoint() override;

    // slot 3: a host-to-device packet. E_INVALIDARG for a null packet or a wrong payload size,
    // E_NOTIMPL for an id the task does not know, E_FAIL "Task is finished" after the end.
    ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet* packet, double timestamp) override;

private:
    std::shared_ptr<Simulation> simulation_;  // outlives the runner's use of it
    std::shared_ptr<TaskRunner> runner_;
};

} // namespace Kestrel::DeviceSimulator
