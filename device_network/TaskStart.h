#pragma once
// Starting a task on a node for a viewer: the task-specific factory builds the cotask and its
// interop object and wires them together (the interop holds the cotask's device-to-host face,
// the cotask holds the interop's host-to-device face); then the interop's connection face goes
// to the network and, when the device answers, the device-side object becomes its peer.

#include <functional>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"

namespace Kestrel::DeviceNetwork {

struct CotaskPair {
    InterfaceContract::Ref<ICotask> cotask;              // face 0 of the cotask, kept by the viewer
    InterfaceContract::Ref<Interop::IConnection> connection;  // face 0 of the interop, given to the library
};

using CotaskFactory = std::function<CotaskPair(NodeHandle node)>;

// The started cotask, or null when the network returned no device-side object (then cotask
// and interop are dropped). Failing calls raise InterfaceContract::Exception.
InterfaceContract::Ref<ICotask> startTask(INodeNetwork& network, NodeHandle node, const InterfaceId& task,
                                          const CotaskFactory& makeCotask);

} // namespace Kestrel::DeviceNetwork
