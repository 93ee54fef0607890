#pragma once
// One running task: its thread, the host's connection, and the packets the host has sent.
//
// The thread delivers the task's packets to the host's IConnection (slot 3) with their
// simulation time. Packets from the host are checked at once on the sender's thread and then
// queued; the task thread applies them, so the host may send from inside its own packet
// handler. The task ends when the host releases the device-side object, when the node is
// unplugged, or when the simulation goes; the thread then releases the host's connection
// itself, as the last thing it does.

#include <memory>
#include <string>
#include <vector>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"
#include "device_simulator/scene/TrackingStream.h"

namespace Kestrel::DeviceSimulator {

class Simulation;

using Send = std::function<void(const EncodedPacket& packet, double time)>;

// What a task does; called on the task thread only, except `check`.
class TaskWork {
public:
    virtual ~TaskWork() = default;
    // Refuses a host packet (any thread, no state): invalid_argument for a wrong payload size,
    // InterfaceContract::Exception with E_NOTIMPL for an unknown id.
    virtual void check(uint8_t id, size_t size) const = 0;
    virtual void onHostPacket(uint8_t id, const std::string& payload, double time, const Send& send) = 0;
    // Emits everything due up to time t.
    virtual void produceUntil(double t, const Send& send) = 0;
};

class TaskRunner {
public:
    TaskRunner(Simulation& simulation, uint32_t node, double removalTime,
               InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> host, std::unique_ptr<TaskWork> work);

    // The thread body (started by Simulation::start).
    void run();

    // The host has let go of the device side: end the task.
    void requestStop();
    // A packet from the host; throws (see TaskWork::check), or "Task is finished" once ended.
    void post(uint8_t id, std::string payload);

    // Under Simulation::mutex.
    bool finished() const { return finished_; }
    double progress() const { return progress_; }

private:
    struct HostPacket {
        uint8_t id;
        std::string payload;
    };

    Simulation& simulation_;
    uint32_t node_;
    double removalTime_;
    InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> host_;
    std::unique_ptr<TaskWork> work_;
    // Under Simulation::mutex:
    std::vector<HostPacket> inbox_;
    bool stopRequested_ = false;
    bool finished_ = false;
    double progress_;
};

} // namespace Kestrel::DeviceSimulator
