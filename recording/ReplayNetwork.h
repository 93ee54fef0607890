#pragma once
// A recording served as a small device network of its own: a root node named after the file,
// and under it the recorded node, which offers the recorded task and answers the recorded
// "sys/GeometrySettings.b" and "sys/MaximumViewAngle.b". A task started on it is fed by the
// network's ReplayPlayer. Node handles are given by the caller (the program keeps them apart
// from the loaded network's handles).

#include <memory>
#include <string>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Remap.h"
#include "recording/ReplayPlayer.h"

namespace Kestrel::Recording {

using DeviceNetwork::ResultCode;

class ReplayNetwork final : public InterfaceContract::Implements<DeviceNetwork::INodeNetwork> {
public:
    // `root` and `root + 1` become the root's and the recorded node's handles. The root's parent
    // is the host (0).
    ReplayNetwork(std::shared_ptr<const Recording> recording, DeviceNetwork::NodeHandle root, bool tracking);

    DeviceNetwork::NodeHandle root() const { return root_; }
    DeviceNetwork::NodeHandle trackerNode() const { return root_ + 1; }
    bool owns(DeviceNetwork::NodeHandle node) const { return node == root_ || node == root_ + 1; }
    ReplayPlayer& player() { return player_; }

    // The node tree never changes: the update id is always 1.
    ResultCode KESTREL_CALL getUpdateId(uint32_t* updateId) override;
    ResultCode KESTREL_CALL reserved4() override { return InterfaceContract::E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL getNodes(InterfaceContract::OutArray* nodes) override;
    ResultCode KESTREL_CALL reserved6() override { return InterfaceContract::E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL isTaskSupported(DeviceNetwork::NodeHandle node, const InterfaceContract::InterfaceId* task,
                                            InterfaceContract::Boolean* supported) override;
    // E_INVALIDARG for a node that is not one of the two.
    ResultCode KESTREL_CALL getParent(DeviceNetwork::NodeHandle node, DeviceNetwork::NodeHandle* parent) override;
    ResultCode KESTREL_CALL reserved9() override { return InterfaceContract::E_NOTIMPL_CODE; }
    // Starts the recorded task on the recorded node; any other start answers no device (null).
    // After the player is closed the answer is null too.
    ResultCode KESTREL_CALL startTask(DeviceNetwork::NodeHandle node, const InterfaceContract::InterfaceId* task,
                                      DeviceNetwork::Interop::IConnection* host, void** device) override;
    ResultCode KESTREL_CALL reserved11() override { return InterfaceContract::E_NOTIMPL_CODE; }
    ResultCode KESTREL_CALL reserved12() override { return InterfaceContract::E_NOTIMPL_CODE; }
    // The recorded properties of the recorded node; a failure naming the node and key otherwise.
    ResultCode KESTREL_CALL readProperty(DeviceNetwork::NodeHandle node, InterfaceContract::InArray* key,
                                         InterfaceContract::OutArray* value) override;

private:
    std::shared_ptr<const Recording> recording_;
    DeviceNetwork::NodeHandle root_;
    ReplayPlayer player_;
};

} // namespace Kestrel::Recording
