#include "device_simulator/DeviceEndpoint.h"

#include <stdexcept>

#include "device_simulator/Simulation.h"
#include "device_simulator/TaskRunner.h"

namespace Kestrel::DeviceSimulator {

DeviceEndpoint::DeviceEndpoint(std::shared_ptr<Simulation> simulation, std::shared_ptr<TaskRunner> runner)
    : simulation_(std::move(simulation)), runner_(std::move(runner)) {}

DeviceEndpoint::~DeviceEndpoint() { runner_->requestStop(); }

ResultCode KESTREL_CALL DeviceEndpoint::onPacket(const DeviceNetwork::Packet* packet, double) {
    return InterfaceContract::guard([&] {
        if (!packet || (packet->size && !packet->payload))
            throw std::invalid_argument("null packet");
        runner_->post(packet->id, std::string(static_cast<const char*>(packet->payload), packet->size));
    });
}

} // namespace Kestrel::DeviceSimulator
