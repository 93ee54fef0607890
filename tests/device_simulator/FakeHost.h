#pragma once
// A host-side task connection for tests: records every packet with its time and thread, and
// the thread on which the library released it. A device side handed to setPeer (a task
// started through the client's startTask) is kept in the record until the test lets it go.

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Remap.h"

struct ReceivedPacket {
    uint8_t id;
    std::string payload;
    double time;
};

// Shared with the test so that it outlives the connection object.
struct HostRecord {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ReceivedPacket> packets;
    std::thread::id deliveryThread;
    std::thread::id releaseThread;
    bool released = false;
    Kestrel::InterfaceContract::Ref<Kestrel::InterfaceContract::IInterface> peer;

    std::vector<ReceivedPacket> take() {
        std::lock_guard<std::mutex> lock(mutex);
        return packets;
    }
    template <class Predicate>
    bool waitFor(Predicate predicate, int milliseconds = 5000) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return predicate(*this); });
    }
};

class FakeHost final : public Kestrel::InterfaceContract::Implements<Kestrel::DeviceNetwork::Interop::IConnection> {
public:
    explicit FakeHost(std::shared_ptr<HostRecord> record) : record_(std::move(record)) {}
    ~FakeHost() override {
        std::lock_guard<std::mutex> lock(record_->mutex);
        record_->released = true;
        record_->releaseThread = std::this_thread::get_id();
        record_->changed.notify_all();
    }
    Kestrel::InterfaceContract::ResultCode KESTREL_CALL onPacket(const Kestrel::DeviceNetwork::Packet* packet,
                                                                 double timestamp) override {
        std::lock_guard<std::mutex> lock(record_->mutex);
        record_->packets.push_back(
            {packet->id, std::string(static_cast<const char*>(packet->payload), packet->size), timestamp});
        record_->deliveryThread = std::this_thread::get_id();
        record_->changed.notify_all();
        return 0;
    }
    Kestrel::InterfaceContract::ResultCode KESTREL_CALL setPeer(Kestrel::InterfaceContract::IInterface* peer) override {
        std::lock_guard<std::mutex> lock(record_->mutex);
        record_->peer = Kestrel::InterfaceContract::Ref<Kestrel::InterfaceContract::IInterface>::share(peer);
        return 0;
    }

private:
    std::shared_ptr<HostRecord> record_;
};
