#include "tracking/runtime/device_tasks/DebugTaskStart.h"

#include "device_network/client/TaskStart.h"
#include "tracking/runtime/device_tasks/DebugHostDeviceInterop.h"

namespace Kestrel::Orb::Debug {

InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> wireDebugTask(OrbDebugCotask& cotask) {
    auto connection = InterfaceContract::makeInterfaced<DebugTask::HostDeviceInterop, DeviceNetwork::Interop::IConnection>(
        cotask.deviceToHost());
    cotask.setLink(static_cast<DebugTask::HostDeviceInterop*>(connection.get())->hostToDevice());
    return connection;
}

InterfaceContract::Ref<ICotask> startDebugTask(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node,
                                               std::chrono::milliseconds answerTimeout) {
    auto cotask = InterfaceContract::makeInterfaced<OrbDebugCotask, ICotask>(answerTimeout);
    auto* task = static_cast<OrbDebugCotask*>(cotask.get());
    auto connection = wireDebugTask(*task);
    // Without a device-side object the cotask and the interop are dropped here, which frees both.
    if (!DeviceNetwork::Client::startTask(network, node, debugTaskId, connection))
        return nullptr;
    return cotask;
}

} // namespace Kestrel::Orb::Debug
