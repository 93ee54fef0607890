#pragma once
// A process-wide hook on task starts, for recording: when one is installed, every connection a
// task start hands to the device network first passes through it, and the hook may put an
// object of its own in between (one that sees every packet and forwards it unchanged). Without
// a hook the connection goes to the network as it is.

#include <functional>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"

namespace Kestrel::DeviceNetwork::Client {

using ConnectionTap = std::function<InterfaceContract::Ref<Interop::IConnection>(
    INodeNetwork& network, NodeHandle node, const InterfaceId& task,
    InterfaceContract::Ref<Interop::IConnection> connection)>;

// Installs `tap` (null removes it); returns the previous one. Task starts that are already
// under way keep the hook they began with.
ConnectionTap setConnectionTap(ConnectionTap tap);

// The connection to hand to the network for a task start: the hook's answer, or `connection`.
InterfaceContract::Ref<Interop::IConnection> tapConnection(INodeNetwork& network, NodeHandle node,
                                                           const InterfaceId& task,
                                                           InterfaceContract::Ref<Interop::IConnection> connection);

} // namespace Kestrel::DeviceNetwork::Client
