#pragma once
// Base of every host-side cotask: an object with two independently counted faces.
//
//   face 0  ICotask (or an interface derived from it), held by the viewer;
//   face 1  the task's device-to-host interface, held (directly or through a decoder) by the
//           interop object that the device-network library delivers packets to.
//
// The cotask holds the interop's host-to-device face (its link to the device). When the
// viewer lets go, onViewerReleased runs; when the device side lets go, onDeviceReleased runs
// and the task is finished. Either release may come on any thread. Memory is freed when both
// faces have gone.
//
// A task whose viewer interface derives from ICotask adds Implements<ITaskCotask> (also face 0)
// and answers its isFinished slot from here:
//     using Cotask::isFinished;
//     ResultCode KESTREL_CALL isFinished(Boolean* f) override { return Cotask::isFinished(f); }

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/DebugLog.h"
#include "interface_contract/Remap.h"

namespace Kestrel::DeviceNetwork::Client {

template <class DeviceToHost, class HostToDevice>
class Cotask : public InterfaceContract::Implements<ICotask>,
               public InterfaceContract::ImplementsOnFace<DeviceToHost, 1> {
public:
    // ICotask slot 3.
    ResultCode KESTREL_CALL isFinished(Boolean* finished) override {
        return InterfaceContract::guard([&] {
            if (!finished)
                throw std::invalid_argument("isFinished: null result");
            *finished = InterfaceContract::toBoolean(isFinished());
        });
    }
    // True once the device side has let go of the task.
    virtual bool isFinished() const { return finished_.load(); }

    // The device-to-host face, with a new reference (for the interop or its decoder).
    InterfaceContract::Ref<DeviceToHost> deviceToHost() {
        return InterfaceContract::Ref<DeviceToHost>::share(static_cast<DeviceToHost*>(this));
    }

    // Stores the interop's host-to-device face; the task's way to send to the device.
    void setLink(InterfaceContract::Ref<HostToDevice> link) {
        InterfaceContract::Ref<HostToDevice> previous;
        {
            std::lock_guard<std::mutex> lock(linkMutex_);
            previous = std::exchange(link_, std::move(link));
        }
    }

protected:
    // The link for one send; throws "Task is finished" once it has been released. The caller
    // sends without holding the lock, so a release on another thread never waits for a send.
    InterfaceContract::Ref<HostToDevice> link() const {
        std::lock_guard<std::mutex> lock(linkMutex_);
        if (!link_)
            throw std::runtime_error("Task is finished");
        return link_;
    }
    // Drops the link; the interop then lets go of the device-side object, which ends the task
    // in the library. The release itself runs outside the lock.
    void releaseLink() {
        InterfaceContract::Ref<HostToDevice> released;
        {
            std::lock_guard<std::mutex> lock(linkMutex_);
            released = std::exchange(link_, nullptr);
        }
    }

    // The last reference of face 0 (the viewer's) has gone.
    virtual void onViewerReleased() = 0;
    // The last reference of face 1 (the device side's) has gone; the task is finished after it.
    virtual void onDeviceReleased() = 0;

private:
    // Release() is called across library boundaries, where nothing may be thrown.
    void onLastRelease(InterfaceContract::Face<0>) override { runReleaseHook(&Cotask::onViewerReleased, "viewer"); }
    void onLastRelease(InterfaceContract::Face<1>) override {
        runReleaseHook(&Cotask::onDeviceReleased, "device");
        finished_.store(true);
    }
    void runReleaseHook(void (Cotask::*hook)(), const char* side) noexcept {
        try {
            (this->*hook)();
        } catch (const std::exception& e) {
            logLine() << "Cotask: release by the " << side << " side failed: " << e.what();
        } catch (...) {
            logLine() << "Cotask: release by the " << side << " side failed";
        }
    }

    std::atomic<bool> finished_{false};
    mutable std::mutex linkMutex_;
    InterfaceContract::Ref<HostToDevice> link_;
};

} // namespace Kestrel::DeviceNetwork::Client
