#pragma once
// Base of the interop object of a task: the end of the device-network connection on the host.
//
//   face 0  Interop::IConnection, handed to the library, which delivers every packet of the task
//           to onPacket and, through setPeer, learns of the device-side object;
//   face 1  the task's host-to-device interface, held by the cotask.
//
// The interop holds the receiver of decoded packets (the cotask's device-to-host face or a
// decoder in front of it) and the device-side peer. When the library lets go of face 0 the
// receiver is dropped, so that the cotask sees the device side gone; when the cotask lets go of
// face 1 the peer is dropped, which ends the task in the library.

#include <mutex>
#include <stdexcept>
#include <string>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Remap.h"

namespace Kestrel::DeviceNetwork::Client {

template <class HostToDevice, class Receiver>
class HostDeviceInterop : public InterfaceContract::Implements<Interop::IConnection>,
                          public InterfaceContract::ImplementsOnFace<HostToDevice, 1> {
public:
    explicit HostDeviceInterop(InterfaceContract::Ref<Receiver> receiver) : receiver_(std::move(receiver)) {}

    // IDataReceiver slot 3: one packet from the device.
    ResultCode KESTREL_CALL onPacket(const Packet* packet, double timestamp) override {
        return InterfaceContract::guard([&] {
            if (!packet)
                throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "onPacket: null packet");
            InterfaceContract::Ref<Receiver> receiver = this->receiver();
            if (!receiver)
                throw std::runtime_error("Task is finished");
            dispatch(*receiver.get(), *packet, timestamp);
        });
    }

    // IConnection slot 4: the device-side object returned by the start call.
    ResultCode KESTREL_CALL setPeer(IInterface* peer) override {
        return InterfaceContract::guard([&] {
            if (!peer)
                throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "setPeer: null peer");
            auto receiver = InterfaceContract::Ref<IInterface>::share(peer).template queryChecked<Interop::IDataReceiver>();
            InterfaceContract::Ref<Interop::IDataReceiver> previous;
            std::lock_guard<std::mutex> lock(mutex_);
            previous = std::exchange(peer_, std::move(receiver));
        });
    }

    // The host-to-device face, with a new reference (for the cotask).
    InterfaceContract::Ref<HostToDevice> hostToDevice() {
        return InterfaceContract::Ref<HostToDevice>::share(static_cast<HostToDevice*>(this));
    }
    InterfaceContract::Ref<Interop::IConnection> connection() {
        return InterfaceContract::Ref<Interop::IConnection>::share(static_cast<Interop::IConnection*>(this));
    }

protected:
    // Decodes one packet into calls on `receiver`. Throws to refuse it.
    virtual void dispatch(Receiver& receiver, const Packet& packet, double timestamp) = 0;

    // Sends one packet to the device; a failure of the peer is raised here.
    void send(uint8_t id, const void* payload, uint32_t size) {
        InterfaceContract::Ref<Interop::IDataReceiver> peer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            peer = peer_;
        }
        if (!peer)
            throw std::runtime_error("Task has no device connection");
        Packet packet{id, payload, size};
        InterfaceContract::check(peer.get(), peer->onPacket(&packet, 0.0));
    }

private:
    InterfaceContract::Ref<Receiver> receiver() {
        std::lock_guard<std::mutex> lock(mutex_);
        return receiver_;
    }
    void onLastRelease(InterfaceContract::Face<0>) override {
        InterfaceContract::Ref<Receiver> released;
        std::lock_guard<std::mutex> lock(mutex_);
        released = std::exchange(receiver_, nullptr);
        // `released` goes after the lock (declared before it), outside the critical section.
    }
    void onLastRelease(InterfaceContract::Face<1>) override {
        InterfaceContract::Ref<Interop::IDataReceiver> released;
        std::lock_guard<std::mutex> lock(mutex_);
        released = std::exchange(peer_, nullptr);
    }

    std::mutex mutex_;
    InterfaceContract::Ref<Receiver> receiver_;
    InterfaceContract::Ref<Interop::IDataReceiver> peer_;
};

} // namespace Kestrel::DeviceNetwork::Client
