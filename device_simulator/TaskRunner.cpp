#include "device_simulator/TaskRunner.h"

#include <chrono>
#include <cmath>

#include "device_simulator/Simulation.h"

namespace Kestrel::DeviceSimulator {

using namespace std::chrono;

namespace {
// Real-time delivery period: two inertial samples per wake-up.
constexpr auto realTimePeriod = microseconds(1000);
} // namespace

TaskRunner::TaskRunner(Simulation& simulation, uint32_t node, double removalTime,
                       InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> host, std::unique_ptr<TaskWork> work)
    : simulation_(simulation), node_(node), removalTime_(removalTime), host_(std::move(host)), work_(std::move(work)),
      progress_(simulation.now()) {}

void TaskRunner::requestStop() {
    std::lock_guard<std::mutex> lock(simulation_.mutex);
    stopRequested_ = true;
    simulation_.changed.notify_all();
}

void TaskRunner::post(uint8_t id, std::string payload) {
    work_->check(id, payload.size());
    std::lock_guard<std::mutex> lock(simulation_.mutex);
    if (finished_ || stopRequested_)
        throw std::runtime_error("Task is finished");
    inbox_.push_back({id, std::move(payload)});
    simulation_.changed.notify_all();
}

void TaskRunner::run() {
    DeviceNetwork::Interop::IConnection* host = host_.get();
    const Send send = [host](const EncodedPacket& packet, double time) {
        DeviceNetwork::Packet p{packet.id, packet.payload.data(), uint32_t(packet.payload.size())};
        // A refused packet is the host's business; the device goes on like a real one.
        host->onPacket(&p, time);
    };
    const bool fast = simulation_.fastClock();
    auto nextWake = steady_clock::now();
    for (;;) {
        std::vector<HostPacket> inbox;
        double target;
        {
            std::unique_lock<std::mutex> lock(simulation_.mutex);
            auto wake = [&] { return stopRequested_ || simulation_.stopping || !inbox_.empty(); };
            if (fast) {
                simulation_.changed.wait(lock, [&] { return wake() || simulation_.fastTime() > progress_; });
            } else {
                nextWake += realTimePeriod;
                simulation_.changed.wait_until(lock, nextWake, wake);
            }
            if (stopRequested_ || simulation_.stopping)
                break;
            inbox.swap(inbox_);
            target = fast ? simulation_.fastTime() : simulation_.now();
        }
        if (!fast && steady_clock::now() > nextWake + 50 * realTimePeriod)
            nextWake = steady_clock::now();  // after a stall, do not try to catch up wake-ups
        double limit = std::min(target, removalTime_);
        for (const HostPacket& packet : inbox)
            work_->onHostPacket(packet.id, packet.payload, limit, send);
        work_->produceUntil(limit, send);
        bool unplugged = target >= removalTime_;
        {
            std::lock_guard<std::mutex> lock(simulation_.mutex);
            progress_ = target;
            simulation_.changed.notify_all();
        }
        if (unplugged)
            break;
    }
    {
        std::lock_guard<std::mutex> lock(simulation_.mutex);
        finished_ = true;
        simulation_.changed.notify_all();
    }
    // Releasing the connection may end the simulation itself (on this thread), so nothing of it
    // is touched from here on.
    InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> last = std::move(host_);
    last.reset();
}

} // namespace Kestrel::DeviceSimulator
