#pragma once
// Wiring and starting the tracking task for a tracking cotask.

#include "device_network/DeviceNetworkInterfaces.h"
#include "tracking/runtime/stream/TrackingCotask.h"

namespace Kestrel::Orb::Tracking {

// The tracking task on the tracker: A6C07D30-E3CF-44ED-B996-5F96998392E2.
constexpr InterfaceContract::InterfaceId trackingTaskId =
    InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");

// Puts a point stream in front of the cotask's device-to-host face and an interop in front of
// the stream, and gives the cotask the interop's host-to-device face. Returns the interop's
// connection face, to be handed to the network's start call.
InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> wireTrackingTask(Cotask& cotask);

// wireTrackingTask, then the start of the task on `node`.
// True when the library started it; otherwise (and when the start fails, which is raised) the
// cotask's link is released again and the caller should drop the cotask.
bool startTrackingTask(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node, Cotask& cotask);

} // namespace Kestrel::Orb::Tracking
