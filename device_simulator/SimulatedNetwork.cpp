#include "device_simulator/SimulatedNetwork.h"

#include <stdexcept>

#include "device_simulator/DeviceEndpoint.h"
#include "device_simulator/ReplayWork.h"
#include "device_simulator/Simulation.h"
#include "device_simulator/TaskIds.h"
#include "device_simulator/TaskRunner.h"
#include "device_simulator/TaskWorks.h"
#include "interface_contract/Marshal.h"

namespace Kestrel::DeviceSimulator {

using InterfaceContract::guard;
using InterfaceContract::Ref;

ResultCode notImplemented() {
    return guard([] { throw InterfaceContract::Exception(InterfaceContract::E_NOTIMPL_CODE, "Not implemented"); });
}

SimulatedNetwork::SimulatedNetwork(std::shared_ptr<Simulation> simulation,
                                   const std::vector<DeviceNetwork::DeviceType>& filter)
    : simulation_(std::move(simulation)), tree_(simulation_->scenario().devices, filter) {}

ResultCode KESTREL_CALL SimulatedNetwork::getUpdateId(uint32_t* updateId) {
    return guard([&] {
        if (!updateId)
            throw std::invalid_argument("null updateId");
        *updateId = tree_.updateIdAt(simulation_->now());
    });
}

ResultCode KESTREL_CALL SimulatedNetwork::getNodes(OutArray* nodes) {
    return guard([&] { InterfaceContract::writeOut(nodes, tree_.nodesAt(simulation_->now())); });
}

bool SimulatedNetwork::runsTasks(DeviceNetwork::NodeHandle node) const {
    const ScenarioDevice* device = tree_.device(node);
    return device && device->kind == DeviceKind::Tracker && tree_.isPresent(node, simulation_->now());
}

ResultCode KESTREL_CALL SimulatedNetwork::isTaskSupported(DeviceNetwork::NodeHandle node, const InterfaceId* task,
                                                          Boolean* supported) {
    return guard([&] {
        if (!task || !supported)
            throw std::invalid_argument("null task or result");
        auto replay = simulation_->replay(node);
        bool known = replay ? *task == replay->header.task : (*task == trackingTaskId || *task == debugTaskId);
        *supported = InterfaceContract::toBoolean(known && runsTasks(node));
    });
}

ResultCode KESTREL_CALL SimulatedNetwork::getParent(DeviceNetwork::NodeHandle node, DeviceNetwork::NodeHandle* parent) {
    return guard([&] {
        if (!parent)
            throw std::invalid_argument("null parent");
        *parent = tree_.parentOf(node);
    });
}

ResultCode KESTREL_CALL SimulatedNetwork::startTask(DeviceNetwork::NodeHandle node, const InterfaceId* task,
                                                    DeviceNetwork::Interop::IConnection* host, void** device) {
    // The host's reference is ours from here on, whatever happens.
    auto connection = Ref<DeviceNetwork::Interop::IConnection>::adopt(host);
    return guard([&] {
        if (!device)
            throw std::invalid_argument("null device out-pointer");
        *device = nullptr;
        if (!task || !connection)
            throw std::invalid_argument("null task or host connection");
        bool tracking = *task == trackingTaskId, debug = *task == debugTaskId;
        if (!runsTasks(node))
            return;
        if (auto replay = simulation_->replay(node)) {
            if (*task != replay->header.task)
                return;
            const ScenarioDevice* setup = tree_.device(node);
            startRunner(node, std::move(connection),
                        makeReplayWork(replay, node, simulation_->now(), setup && setup->loop), device);
            return;
        }
        if (!(tracking || debug))
            return;
        const TrackerScene* scene = simulation_->tracker(node);
        if (!scene)
            return;
        double start = simulation_->now();
        uint64_t seed = simulation_->scenario().seed * 7919u + node * 104729u + tasksStarted_.fetch_add(1);
        std::unique_ptr<TaskWork> work = tracking ? makeTrackingWork(*simulation_, *scene, node, start, seed)
                                                  : makeDebugWork(*scene, seed);
        startRunner(node, std::move(connection), std::move(work), device);
    });
}

void SimulatedNetwork::startRunner(DeviceNetwork::NodeHandle node,
                                   Ref<DeviceNetwork::Interop::IConnection> connection, std::unique_ptr<TaskWork> work,
                                   void** device) {
    auto runner = std::make_shared<TaskRunner>(*simulation_, node, tree_.removalTime(node), std::move(connection),
                                               std::move(work));
    Ref<DeviceNetwork::Interop::IDataReceiver> endpoint =
        InterfaceContract::makeInterfaced<DeviceEndpoint, DeviceNetwork::Interop::IDataReceiver>(simulation_, runner);
    simulation_->start(runner);
    *device = endpoint.detach();
}

ResultCode KESTREL_CALL SimulatedNetwork::readProperty(DeviceNetwork::NodeHandle node, InArray* key, OutArray* value) {
    return guard([&] {
        std::string name = InterfaceContract::toString(key);
        if (auto replay = runsTasks(node) ? simulation_->replay(node) : nullptr) {
            const std::string& recorded = name == "sys/GeometrySettings.b"   ? replay->header.geometrySettings
                                          : name == "sys/MaximumViewAngle.b" ? replay->header.maximumViewAngle
                                                                             : std::string();
            if (recorded.empty())
                throw std::runtime_error("Node " + std::to_string(node) + " has no property " + name);
            InterfaceContract::writeOut(value, recorded);
            return;
        }
        const TrackerScene* scene = runsTasks(node) ? simulation_->tracker(node) : nullptr;
        if (!scene || !scene->camera())
            throw std::runtime_error("Node " + std::to_string(node) + " has no property " + name);
        if (name == "sys/GeometrySettings.b")
            InterfaceContract::writeOut(value, scene->camera()->geometrySettingsRecord());
        else if (name == "sys/MaximumViewAngle.b")
            InterfaceContract::writeOut(value, scene->camera()->maximumViewAngleRecord());
        else
            throw std::runtime_error("Node " + std::to_string(node) + " has no property " + name);
    });
}

ResultCode KESTREL_CALL SimulatedNetwork::reserved4() { return notImplemented(); }
ResultCode KESTREL_CALL SimulatedNetwork::reserved6() { return notImplemented(); }
ResultCode KESTREL_CALL SimulatedNetwork::reserved9() { return notImplemented(); }
ResultCode KESTREL_CALL SimulatedNetwork::reserved11() { return notImplemented(); }
ResultCode KESTREL_CALL SimulatedNetwork::reserved12() { return notImplemented(); }

} // namespace Kestrel::DeviceSimulator
