#include "tracking/runtime/stream/TrackingTaskStart.h"

#include "device_network/client/TaskStart.h"
#include "tracking/runtime/stream/HostStream.h"
#include "tracking/runtime/stream/TrackingHostDeviceInterop.h"

namespace Kestrel::Orb::Tracking {

namespace Wire = DeviceNetwork::Tasks::Orb;

InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> wireTrackingTask(Cotask& cotask) {
    // The stream holds the cotask (its target) for as long as it lives, so the pointer stays valid.
    auto stream = InterfaceContract::makeInterfaced<Wire::OpticalPointsCompression::HostStream, Wire::Tracking2::IDeviceToHost>(
        cotask.deviceToHost(), [task = &cotask] { task->streamSequenceBroken(); });
    auto connection =
        InterfaceContract::makeInterfaced<Wire::Tracking2::HostDeviceInterop, DeviceNetwork::Interop::IConnection>(stream);
    stream.reset();
    cotask.setLink(static_cast<Wire::Tracking2::HostDeviceInterop*>(connection.get())->hostToDevice());
    return connection;
}

bool startTrackingTask(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node, Cotask& cotask) {
    auto connection = wireTrackingTask(cotask);
    bool started = false;
    try {
        started = DeviceNetwork::Client::startTask(network, node, trackingTaskId, connection);
    } catch (...) {
        cotask.setLink(nullptr);
        throw;
    }
    if (!started)
        cotask.setLink(nullptr);
    return started;
}

} // namespace Kestrel::Orb::Tracking
