#pragma once
// Interfaces of the device-network library as the program, the tracking runtime and the
// simulated network share them. Slots not used by the program are declared as reserved so
// that the used slots keep their numbers; a library answers them with E_NOTIMPL.

#include "interface_contract/Interfaces.h"

namespace Kestrel::DeviceNetwork {

using InterfaceContract::Boolean;
using InterfaceContract::IInterface;
using InterfaceContract::InArray;
using InterfaceContract::InterfaceId;
using InterfaceContract::makeInterfaceId;
using InterfaceContract::OutArray;
using InterfaceContract::ResultCode;

using NodeHandle = uint32_t;  // 0 is the host

// One packet of a task, in either direction. The payload stays owned by the sender and is
// valid only during the call.
struct Packet {
    uint8_t id;
    const void* payload;
    uint32_t size;
};

// Device-type filter entry: vendor id, then product id (0 matches any product).
struct DeviceType {
    uint16_t vendor;
    uint16_t product;
};
static_assert(sizeof(DeviceType) == 4, "filter entries are 4 bytes");

namespace Interop {

struct IDataReceiver : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("D86EF57E-603E-4D3D-9FFE-B145ABD9C0AA");
    // slot 3: one packet, with the time in seconds at which it was received. The packet is
    // borrowed for the call. Any failure code is the receiver's refusal of the packet.
    virtual ResultCode KESTREL_CALL onPacket(const Packet* packet, double timestamp) = 0;
};

// The host side of a started task, handed to INodeNetwork::startTask; the library calls
// onPacket for every packet of the task and releases it when the task ends.
struct IConnection : IDataReceiver {
    using Base = IDataReceiver;
    static constexpr InterfaceId iid = makeInterfaceId("D1761312-D6EB-41F6-9733-9388D7906238");
    // slot 4: the device-side object returned by startTask; the connection takes a reference
    // and sends host-to-device packets through its onPacket. Null is E_POINTER.
    virtual ResultCode KESTREL_CALL setPeer(IInterface* peer) = 0;
};

} // namespace Interop

struct ICotask : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("FD95F649-562A-4819-A816-26B76CD9D8D6");
    // slot 3: whether the device side has let go of the task.
    virtual ResultCode KESTREL_CALL isFinished(Boolean* finished) = 0;
};

struct INodeNetwork : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("5E0C7B21-4D8A-4F36-9B52-7C1D0E9A3F64");
    // slot 3: the update id, which changes whenever the node tree changes.
    virtual ResultCode KESTREL_CALL getUpdateId(uint32_t* updateId) = 0;
    virtual ResultCode KESTREL_CALL reserved4() = 0;
    // slot 5: all current node handles (uint32 each) in the network's order.
    virtual ResultCode KESTREL_CALL getNodes(OutArray* nodes) = 0;
    virtual ResultCode KESTREL_CALL reserved6() = 0;
    // slot 7: whether `node` can run the task `task`.
    virtual ResultCode KESTREL_CALL isTaskSupported(NodeHandle node, const InterfaceId* task, Boolean* supported) = 0;
    // slot 8: the parent of `node` (0 when attached to the host).
    virtual ResultCode KESTREL_CALL getParent(NodeHandle node, NodeHandle* parent) = 0;
    virtual ResultCode KESTREL_CALL reserved9() = 0;
    // slot 10: starts `task` on `node`. The library takes over the reference of `host`;
    // *device receives the device-side IDataReceiver with one reference for the caller, or
    // null when the task could not be started.
    virtual ResultCode KESTREL_CALL startTask(NodeHandle node, const InterfaceId* task, Interop::IConnection* host,
                                              void** device) = 0;
    virtual ResultCode KESTREL_CALL reserved11() = 0;
    virtual ResultCode KESTREL_CALL reserved12() = 0;
    // slot 13: the node's stored value under `key` (for example "sys/GeometrySettings.b").
    virtual ResultCode KESTREL_CALL readProperty(NodeHandle node, InArray* key, OutArray* value) = 0;
};

struct ILibrary : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("36219FE8-3AD9-4B70-8C47-A032FE0B5C10");
    // slot 3: a network discovering the devices named by `filter` (DeviceType entries);
    // *network receives it with one reference.
    virtual ResultCode KESTREL_CALL createNetwork(InArray* filter, void** network) = 0;
    virtual ResultCode KESTREL_CALL reserved4() = 0;
    // slot 5: a library setting; the program passes 6.
    virtual ResultCode KESTREL_CALL setSetting(uint32_t value) = 0;
};

} // namespace Kestrel::DeviceNetwork
