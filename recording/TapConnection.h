#pragma once
// The objects a recording puts between the device network and a task's host side:
//
//   network --onPacket--> TapConnection --onPacket--> the task's connection (interop)
//   interop --onPacket--> TapPeer       --onPacket--> the device-side object
//
// Both tell their TaskTap of each packet first and then forward it unchanged, with the
// callee's result and error message. Releasing them releases what they forward to, so the
// task's life cycle is the same with and without them; when the network lets go of the
// connection the tap's recording is closed.

#include <memory>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Remap.h"
#include "recording/TaskTap.h"

namespace Kestrel::Recording {

InterfaceContract::Ref<DeviceNetwork::Interop::IConnection>
makeTapConnection(std::shared_ptr<TaskTap> tap, InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> inner);

} // namespace Kestrel::Recording
