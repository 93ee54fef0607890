#include "device_simulator/SimulatedLibrary.h"

#include <stdexcept>

#include "device_simulator/SimulatedNetwork.h"
#include "device_simulator/Simulation.h"

namespace Kestrel::DeviceSimulator {

using InterfaceContract::guard;

SimulatedLibrary::SimulatedLibrary() : simulation_(createSimulation()) {}

ResultCode KESTREL_CALL SimulatedLibrary::createNetwork(InterfaceContract::InArray* filter, void** network) {
    return guard([&] {
        if (!network)
            throw std::invalid_argument("null network out-pointer");
        *network = nullptr;
        std::vector<DeviceNetwork::DeviceType> types;
        if (filter && filter->count) {
            if (!filter->data)
                throw std::invalid_argument("null filter data");
            auto* first = static_cast<const DeviceNetwork::DeviceType*>(filter->data);
            types.assign(first, first + filter->count);
        }
        *network = InterfaceContract::makeInterfaced<SimulatedNetwork, DeviceNetwork::INodeNetwork>(simulation_, types)
                       .detach();
    });
}

ResultCode KESTREL_CALL SimulatedLibrary::reserved4() { return notImplemented(); }

ResultCode KESTREL_CALL SimulatedLibrary::setSetting(uint32_t value) {
    return guard([&] {
        if (value != 6)
            throw std::invalid_argument("Unknown setting " + std::to_string(value));
    });
}

ResultCode KESTREL_CALL SimulatedLibrary::getTime(double* seconds) {
    return guard([&] {
        if (!seconds)
            throw std::invalid_argument("null seconds");
        *seconds = simulation_->now();
    });
}

ResultCode KESTREL_CALL SimulatedLibrary::isFastClock(Boolean* fast) {
    return guard([&] {
        if (!fast)
            throw std::invalid_argument("null fast");
        *fast = InterfaceContract::toBoolean(simulation_->fastClock());
    });
}

ResultCode KESTREL_CALL SimulatedLibrary::advance(double seconds) {
    return guard([&] { simulation_->advance(seconds); });
}

ResultCode KESTREL_CALL SimulatedLibrary::getGroundTruth(NodeHandle node, double time, double* pose) {
    return guard([&] {
        const TrackerScene* scene = simulation_->tracker(node);
        if (!scene)
            throw std::invalid_argument("Node " + std::to_string(node) + " is not a simulated tracker");
        if (!pose)
            throw std::invalid_argument("null pose");
        Pose p = scene->poseAt(time);
        const double values[7] = {p.position[0], p.position[1], p.position[2], p.rotation.x, p.rotation.y,
                                  p.rotation.z, p.rotation.w};
        std::copy(values, values + 7, pose);
    });
}

ResultCode KESTREL_CALL SimulatedLibrary::getRunningTaskCount(uint32_t* count) {
    return guard([&] {
        if (!count)
            throw std::invalid_argument("null count");
        *count = simulation_->runningTaskCount();
    });
}

} // namespace Kestrel::DeviceSimulator
