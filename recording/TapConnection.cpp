#include "recording/TapConnection.h"

#include <stdexcept>

namespace Kestrel::Recording {

namespace {

using DeviceNetwork::Packet;
using DeviceNetwork::ResultCode;
using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;
using InterfaceContract::Ref;

// Forwards a call's result and, for a failure, the callee's message (which lives in the
// callee's module) as this object's own.
template <class Call>
ResultCode forward(InterfaceContract::IUnsafe* callee, Call&& call) {
    return InterfaceContract::guard([&] { InterfaceContract::check(callee, call()); });
}

class TapPeer final : public InterfaceContract::Implements<IDataReceiver> {
public:
    TapPeer(std::shared_ptr<TaskTap> tap, Ref<IDataReceiver> device) : tap_(std::move(tap)), device_(std::move(device)) {}

    ResultCode KESTREL_CALL onPacket(const Packet* packet, double timestamp) override {
        if (packet)
            tap_->hostToDevice(*packet);
        return forward(device_.get(), [&] { return device_->onPacket(packet, timestamp); });
    }

private:
    std::shared_ptr<TaskTap> tap_;
    Ref<IDataReceiver> device_;
};

class TapConnection final : public InterfaceContract::Implements<IConnection> {
public:
    TapConnection(std::shared_ptr<TaskTap> tap, Ref<IConnection> inner) : tap_(std::move(tap)), inner_(std::move(inner)) {}
    ~TapConnection() override { tap_->end(); }

    ResultCode KESTREL_CALL onPacket(const Packet* packet, double timestamp) override {
        if (packet)
            tap_->deviceToHost(*packet, timestamp);
        return forward(inner_.get(), [&] { return inner_->onPacket(packet, timestamp); });
    }

    ResultCode KESTREL_CALL setPeer(InterfaceContract::IInterface* peer) override {
        return InterfaceContract::guard([&] {
            if (!peer)
                throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "setPeer: null peer");
            auto device = Ref<InterfaceContract::IInterface>::share(peer).queryChecked<IDataReceiver>();
            auto tapped = InterfaceContract::makeInterfaced<TapPeer, IDataReceiver>(tap_, std::move(device));
            InterfaceContract::check(inner_.get(), inner_->setPeer(tapped.get()));
        });
    }

private:
    std::shared_ptr<TaskTap> tap_;
    Ref<IConnection> inner_;
};

} // namespace

Ref<IConnection> makeTapConnection(std::shared_ptr<TaskTap> tap, Ref<IConnection> inner) {
    if (!tap || !inner)
        throw std::invalid_argument("makeTapConnection: no tap or no connection");
    return InterfaceContract::makeInterfaced<TapConnection, IConnection>(std::move(tap), std::move(inner));
}

} // namespace Kestrel::Recording
