#pragma once
// Starting a task on a node of the device network, once its cotask and interop are wired.

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"

namespace Kestrel::DeviceNetwork::Client {

// Calls the network's start operation with the node, the task identifier and the interop's
// connection face (the library takes over one reference of it). When the library answers with
// a device-side object, it becomes the connection's peer and the result is true; when it
// answers nothing the task did not start and the result is false. Failures of either call are
// raised as InterfaceContract::Exception.
bool startTask(INodeNetwork& network, NodeHandle node, const InterfaceId& task,
               const InterfaceContract::Ref<Interop::IConnection>& connection);

} // namespace Kestrel::DeviceNetwork::Client
