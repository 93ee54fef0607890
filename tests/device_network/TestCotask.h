#pragma once
// A minimal cotask and interop pair for the viewer tests: two objects with two faces each,
// holding one another as the task life cycle requires, with no packet work beyond counting.
#include <atomic>
#include <mutex>

#include "device_network/DeviceNetworkInterfaces.h"
#include "device_network/TaskStart.h"
#include "interface_contract/Remap.h"

namespace TestTask {

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::DeviceNetwork;

// Device-to-host face of the test cotask.
struct IDeviceToHost : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("0B9C8E51-2F7A-4C1D-9E3B-6A5D4C3B2A10");
    virtual ResultCode KESTREL_CALL deliver(const Packet* packet) = 0;
};

// Host-to-device face of the test interop.
struct IHostToDevice : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("1C0D9F62-3A8B-4D2E-8F4C-7B6E5D4C3B21");
    virtual ResultCode KESTREL_CALL send(const Packet* packet) = 0;
};

inline std::atomic<int> liveObjects{0};

class Cotask final : public Implements<ICotask>, public ImplementsOnFace<IDeviceToHost, 1> {
public:
    Cotask() { ++liveObjects; }
    ~Cotask() override { --liveObjects; }

    ResultCode KESTREL_CALL isFinished(Boolean* finished) override {
        return guard([&] { *finished = toBoolean(finished_.load()); });
    }
    ResultCode KESTREL_CALL deliver(const Packet*) override {
        return guard([&] { ++packets; });
    }
    void setLink(Ref<IHostToDevice> link) {
        std::lock_guard<std::mutex> lock(mutex_);
        link_ = std::move(link);
    }
    std::atomic<int> packets{0};

protected:
    // The viewer let go: drop the way to the device, which ends the task.
    void onLastRelease(Face<0>) override { dropLink(); }
    // The device let go.
    void onLastRelease(Face<1>) override {
        dropLink();
        finished_ = true;
    }

private:
    void dropLink() {
        Ref<IHostToDevice> gone;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            gone = std::move(link_);
        }
    }
    std::mutex mutex_;
    Ref<IHostToDevice> link_;
    std::atomic<bool> finished_{false};
};

class Connection final : public Implements<Interop::IConnection>, public ImplementsOnFace<IHostToDevice, 1> {
public:
    explicit Connection(Ref<IDeviceToHost> cotask) : cotask_(std::move(cotask)) { ++liveObjects; }
    ~Connection() override { --liveObjects; }

    ResultCode KESTREL_CALL onPacket(const Packet* packet, double) override {
        return guard([&] {
            Ref<IDeviceToHost> cotask = lockedCopy(cotask_);
            if (cotask)
                check(cotask.get(), cotask->deliver(packet));
        });
    }
    ResultCode KESTREL_CALL setPeer(IInterface* peer) override {
        return guard([&] {
            if (!peer)
                throw Exception(E_POINTER_CODE, "null peer");
            std::lock_guard<std::mutex> lock(mutex_);
            peer_ = Ref<IInterface>::share(peer);
        });
    }
    ResultCode KESTREL_CALL send(const Packet*) override {
        return guard([&] {
            if (!lockedCopy(peer_))
                throw Exception(E_FAIL_CODE, "Task is finished");
        });
    }
    bool hasPeer() { return bool(lockedCopy(peer_)); }

protected:
    // The cotask let go of the way to the device: drop the library's object, ending the task.
    void onLastRelease(Face<1>) override { take(peer_); }
    // The library let go: drop the cotask's device-to-host face.
    void onLastRelease(Face<0>) override { take(cotask_); }

private:
    template <class I>
    Ref<I> lockedCopy(const Ref<I>& ref) {
        std::lock_guard<std::mutex> lock(mutex_);
        return ref;
    }
    template <class I>
    void take(Ref<I>& ref) {
        Ref<I> gone;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            gone = std::move(ref);
        }
    }
    std::mutex mutex_;
    Ref<IDeviceToHost> cotask_;
    Ref<IInterface> peer_;
};

// Builds the pair for a node the way a task-specific factory does: the interop holds the
// cotask's device-to-host face, the cotask the interop's host-to-device face.
inline CotaskPair makePair(NodeHandle) {
    auto* cotask = new Cotask;
    Ref<ICotask> viewerFace = Ref<ICotask>::share(cotask);
    auto* connection = new Connection(Ref<IDeviceToHost>::share(cotask));
    Ref<Interop::IConnection> libraryFace = Ref<Interop::IConnection>::share(connection);
    cotask->setLink(Ref<IHostToDevice>::share(connection));
    return CotaskPair{viewerFace, libraryFace};
}

} // namespace TestTask
