#include "tracking/runtime/device_tasks/DebugHostDeviceInterop.h"

#include <stdexcept>
#include <string>

#include "interface_contract/DebugLog.h"

namespace Kestrel::DeviceNetwork::Tasks::Orb::Debug {

using InterfaceContract::check;
using InterfaceContract::guard;

namespace {

template <class T>
const T* nonNull(const T* pointer, const char* what) {
    if (!pointer)
        throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, std::string(what) + ": null payload");
    return pointer;
}

void requireSize(const Packet& packet, uint32_t needed) {
    if (packet.size >= needed && (needed == 0 || packet.payload))
        return;
    std::string message = "Debug packet " + std::to_string(packet.id) + ": payload of " + std::to_string(packet.size) +
                          " bytes, needs " + std::to_string(needed);
    logLine() << message;
    throw std::invalid_argument(message);
}

} // namespace

ResultCode HostDeviceInterop::sendPacket1(const uint8_t* b) {
    return guard([&] { send(PacketId::host1, nonNull(b, "sendPacket1"), 4); });
}
ResultCode HostDeviceInterop::sendPacket2(const uint8_t* b) {
    return guard([&] { send(PacketId::host2, nonNull(b, "sendPacket2"), 4); });
}
ResultCode HostDeviceInterop::sendPacket3(const uint8_t* b) {
    return guard([&] { send(PacketId::host3, nonNull(b, "sendPacket3"), 4); });
}
ResultCode HostDeviceInterop::setConfig(const ConfigRecord* record) {
    return guard([&] { send(PacketId::setConfig, nonNull(record, "setConfig"), sizeof(ConfigRecord)); });
}
ResultCode HostDeviceInterop::requestConfig(const ConfigRecord* record) {
    return guard([&] { send(PacketId::requestConfig, nonNull(record, "requestConfig"), sizeof(ConfigRecord)); });
}
ResultCode HostDeviceInterop::requestImage() {
    return guard([&] { send(PacketId::requestImage, nullptr, 0); });
}
ResultCode HostDeviceInterop::requestPoints() {
    return guard([&] { send(PacketId::requestPoints, nullptr, 0); });
}
ResultCode HostDeviceInterop::sendPacket17() {
    return guard([&] { send(PacketId::host17, nullptr, 0); });
}
ResultCode HostDeviceInterop::sendPacket19(const uint8_t* b) {
    return guard([&] { send(PacketId::host19, nonNull(b, "sendPacket19"), 16); });
}

void HostDeviceInterop::dispatch(IDeviceToHost& r, const Packet& packet, double) {
    const auto* bytes = static_cast<const uint8_t*>(packet.payload);
    const void* p = packet.payload;
    const uint32_t size = packet.size;
    ResultCode code;
    switch (packet.id) {
    case PacketId::configReply:
        requireSize(packet, sizeof(ConfigRecord));
        code = r.configReceived(static_cast<const ConfigRecord*>(p));
        break;
    case PacketId::imageChunk:
        requireSize(packet, imageChunkSize);
        code = r.imageChunk(bytes);
        break;
    case PacketId::imageFinalChunk:
        requireSize(packet, 1);
        requireSize(packet, 1u + bytes[0]);
        code = r.imageFinalChunk(bytes + 1, bytes[0]);
        break;
    case PacketId::point:
        requireSize(packet, sizeof(DebugPoint));
        code = r.pointReceived(static_cast<const DebugPoint*>(p));
        break;
    case PacketId::completed: code = r.completed(); break;
    case 15: code = r.packet15(p, size); break;
    case 16: code = r.packet16(p, size); break;
    case 22: code = r.packet22(p, size); break;
    case 23: code = r.packet23(p, size); break;
    case 24: code = r.packet24(p, size); break;
    case 25: code = r.packet25(p, size); break;
    case 26: code = r.packet26(p, size); break;
    case 27: code = r.packet27(p, size); break;
    case 29: code = r.packet29(p, size); break;
    default:
        throw InterfaceContract::Exception(InterfaceContract::E_NOTIMPL_CODE,
                                           "Debug packet id " + std::to_string(packet.id) + " is not implemented");
    }
    check(&r, code);
}

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::Debug
