#pragma once
// INodeNetwork of the simulated devices that the creation filter names.

#include <memory>

#include "device_network/DeviceNetworkInterfaces.h"
#include "device_simulator/TaskRunner.h"
#include "device_simulator/scene/NodeTree.h"
#include "interface_contract/Remap.h"

namespace Kestrel::DeviceSimulator {

using DeviceNetwork::Boolean;
using DeviceNetwork::InArray;
using DeviceNetwork::InterfaceId;
using DeviceNetwork::OutArray;
using DeviceNetwork::ResultCode;

class Simulation;

// Answers E_NOTIMPL with the message "Not implemented".
ResultCode notImplemented();

class SimulatedNetwork final : public InterfaceContract::Implements<DeviceNetwork::INodeNetwork> {
public:
    SimulatedNetwork(std::shared_ptr<Simulation> simulation, const std::vector<DeviceNetwork::DeviceType>& filter);

    ResultCode KESTREL_CALL getUpdateId(uint32_t* updateId) override;
    ResultCode KESTREL_CALL reserved4() override;
    ResultCode KESTREL_CALL getNodes(OutArray* nodes) override;
    ResultCode KESTREL_CALL reserved6() override;
    // Trackers run the tracking and the debug task, a replaying tracker only its recorded task;
    // adapters, the host and unknown or absent nodes run none.
    ResultCode KESTREL_CALL isTaskSupported(DeviceNetwork::NodeHandle node, const InterfaceId* task,
                                            Boolean* supported) override;
    // 0 for the host and for handles the network does not show.
    ResultCode KESTREL_CALL getParent(DeviceNetwork::NodeHandle node, DeviceNetwork::NodeHandle* parent) override;
    ResultCode KESTREL_CALL reserved9() override;
    // A null *device (and success) when the node is absent or does not run the task; the host's
    // connection is then released at once.
    ResultCode KESTREL_CALL startTask(DeviceNetwork::NodeHandle node, const InterfaceId* task,
                                      DeviceNetwork::Interop::IConnection* host, void** device) override;
    ResultCode KESTREL_CALL reserved11() override;
    ResultCode KESTREL_CALL reserved12() override;
    // "sys/GeometrySettings.b" and "sys/MaximumViewAngle.b" of a present tracker (a replaying
    // one answers the recorded values); E_FAIL for
    // any other key or node.
    ResultCode KESTREL_CALL readProperty(DeviceNetwork::NodeHandle node, InArray* key, OutArray* value) override;

private:
    bool runsTasks(DeviceNetwork::NodeHandle node) const;
    // Runs `work` for the host's connection and hands out the device-side object.
    void startRunner(DeviceNetwork::NodeHandle node, InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> connection,
                     std::unique_ptr<TaskWork> work, void** device);

    std::shared_ptr<Simulation> simulation_;
    NodeTree tree_;
    std::atomic<uint64_t> tasksStarted_{0};
};

} // namespace Kestrel::DeviceSimulator
