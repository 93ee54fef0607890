#pragma once
// Wiring and starting the debug task for an OrbDebugCotask.

#include "device_network/DeviceNetworkInterfaces.h"
#include "tracking/runtime/device_tasks/OrbDebugCotask.h"

namespace Kestrel::Orb::Debug {

// The debug task on the tracker: 2AD83E54-9F90-4C8F-9E40-34231CB5F898.
constexpr InterfaceContract::InterfaceId debugTaskId =
    InterfaceContract::makeInterfaceId("2AD83E54-9F90-4C8F-9E40-34231CB5F898");

// Puts an interop in front of the cotask's device-to-host face and gives the cotask the
// interop's host-to-device face. Returns the interop's connection face, to be handed to the
// network's start call.
InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> wireDebugTask(OrbDebugCotask& cotask);

// A new debug cotask, wired and started on `node`; null when the library did not start the
// task. Failures of the start call are raised as InterfaceContract::Exception.
InterfaceContract::Ref<ICotask> startDebugTask(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node,
                                               std::chrono::milliseconds answerTimeout = OrbDebugCotask::defaultAnswerTimeout);

} // namespace Kestrel::Orb::Debug
