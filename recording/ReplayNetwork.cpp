#include "recording/ReplayNetwork.h"

#include <stdexcept>

#include "interface_contract/Marshal.h"

namespace Kestrel::Recording {

using namespace InterfaceContract;
using DeviceNetwork::NodeHandle;

ReplayNetwork::ReplayNetwork(std::shared_ptr<const Recording> recording, NodeHandle root, bool tracking)
    : recording_(recording), root_(root),
      player_(std::make_shared<const ReplaySchedule>(std::move(recording), tracking), root + 1) {}

ResultCode KESTREL_CALL ReplayNetwork::getUpdateId(uint32_t* updateId) {
    return guard([&] {
        if (!updateId)
            throw Exception(E_POINTER_CODE, "getUpdateId: null result");
        *updateId = 1;
    });
}

ResultCode KESTREL_CALL ReplayNetwork::getNodes(OutArray* nodes) {
    return guard([&] {
        const NodeHandle handles[2] = {root_, root_ + 1};
        writeOut(nodes, handles, 2, sizeof(NodeHandle));
    });
}

ResultCode KESTREL_CALL ReplayNetwork::isTaskSupported(NodeHandle node, const InterfaceId* task, Boolean* supported) {
    return guard([&] {
        if (!task || !supported)
            throw Exception(E_POINTER_CODE, "isTaskSupported: null argument");
        *supported = toBoolean(node == trackerNode() && *task == recording_->header.task);
    });
}

ResultCode KESTREL_CALL ReplayNetwork::getParent(NodeHandle node, NodeHandle* parent) {
    return guard([&] {
        if (!parent)
            throw Exception(E_POINTER_CODE, "getParent: null result");
        if (!owns(node))
            throw Exception(E_INVALIDARG_CODE, "getParent: node " + std::to_string(node) + " is not a replay node");
        *parent = node == root_ ? 0 : root_;
    });
}

ResultCode KESTREL_CALL ReplayNetwork::startTask(NodeHandle node, const InterfaceId* task,
                                                 DeviceNetwork::Interop::IConnection* host, void** device) {
    // The host's reference is ours from the call on, whatever the outcome.
    Ref<DeviceNetwork::Interop::IConnection> connection = Ref<DeviceNetwork::Interop::IConnection>::adopt(host);
    return guard([&] {
        if (!task || !device || !connection)
            throw Exception(E_POINTER_CODE, "startTask: null argument");
        *device = nullptr;
        if (node != trackerNode() || *task != recording_->header.task)
            return;
        *device = player_.addSession(std::move(connection)).detach();
    });
}

ResultCode KESTREL_CALL ReplayNetwork::readProperty(NodeHandle node, InArray* key, OutArray* value) {
    return guard([&] {
        const std::string name = toString(key);
        const std::string& recorded = node != trackerNode()                 ? std::string()
                                      : name == "sys/GeometrySettings.b" ? recording_->header.geometrySettings
                                      : name == "sys/MaximumViewAngle.b" ? recording_->header.maximumViewAngle
                                                                         : std::string();
        if (recorded.empty())
            throw std::runtime_error("Node " + std::to_string(node) + " has no property " + name);
        writeOut(value, recorded);
    });
}

} // namespace Kestrel::Recording
