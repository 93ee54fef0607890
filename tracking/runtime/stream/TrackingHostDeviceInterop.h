#pragma once
// The interop object of the tracking task: receives the task's packets from the device-network
// library and calls the matching method of Tracking2::IDeviceToHost (packet id N, slot 3 + N),
// and sends the host-to-device packets 9, 10 and 13.
//
// Refusals: a packet id of 26 or more is E_NOTIMPL; a payload shorter than its id needs is
// E_INVALIDARG with one log line, and nothing is read from it. Longer payloads are accepted and
// their extra bytes ignored.

#include "device_network/client/HostDeviceInterop.h"
#include "tracking/runtime/stream/TrackingInterfaces.h"

namespace Kestrel::DeviceNetwork::Tasks::Orb::Tracking2 {

class HostDeviceInterop final
    : public Client::HostDeviceInterop<Tracking::IHostToDevice, Tracking2::IDeviceToHost> {
public:
    using Client::HostDeviceInterop<Tracking::IHostToDevice, Tracking2::IDeviceToHost>::HostDeviceInterop;

    ResultCode KESTREL_CALL setExposure(const int32_t* exposure) override;
    ResultCode KESTREL_CALL sendPacket10(const uint8_t* fourBytes) override;
    ResultCode KESTREL_CALL sendPacket13(const uint8_t* oneByte) override;

private:
    void dispatch(Tracking2::IDeviceToHost& receiver, const Packet& packet, double timestamp) override;
};

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::Tracking2
