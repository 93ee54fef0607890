#pragma once
// The interop object of the debug task: turns the host-to-device calls into packets and the
// device's packets into calls of Debug::IDeviceToHost.
//
// Refusals: a packet id outside the task's table is E_NOTIMPL; a payload shorter than its id
// needs (id 4 and 10: 12 bytes, id 8: 63, id 9: one length byte n and then n bytes) is
// E_INVALIDARG with one log line, and nothing is read from it. Extra bytes are ignored.

#include "device_network/client/HostDeviceInterop.h"
#include "tracking/runtime/device_tasks/DebugInterfaces.h"

namespace Kestrel::DeviceNetwork::Tasks::Orb::Debug {

class HostDeviceInterop final : public Client::HostDeviceInterop<IHostToDevice, IDeviceToHost> {
public:
    using Client::HostDeviceInterop<IHostToDevice, IDeviceToHost>::HostDeviceInterop;

    ResultCode KESTREL_CALL sendPacket1(const uint8_t* fourBytes) override;
    ResultCode KESTREL_CALL sendPacket2(const uint8_t* fourBytes) override;
    ResultCode KESTREL_CALL sendPacket3(const uint8_t* fourBytes) override;
    ResultCode KESTREL_CALL setConfig(const ConfigRecord* record) override;
    ResultCode KESTREL_CALL requestConfig(const ConfigRecord* record) override;
    ResultCode KESTREL_CALL requestImage() override;
    ResultCode KESTREL_CALL requestPoints() override;
    ResultCode KESTREL_CALL sendPacket17() override;
    ResultCode KESTREL_CALL sendPacket19(const uint8_t* sixteenBytes) override;

private:
    void dispatch(IDeviceToHost& receiver, const Packet& packet, double timestamp) override;
};

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::Debug
