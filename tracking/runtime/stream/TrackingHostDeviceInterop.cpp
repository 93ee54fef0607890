#include "tracking/runtime/stream/TrackingHostDeviceInterop.h"

#include <stdexcept>
#include <string>

#include "interface_contract/DebugLog.h"

namespace Kestrel::DeviceNetwork::Tasks::Orb::Tracking2 {

using InterfaceContract::check;
using InterfaceContract::guard;

namespace {

template <class T>
const T* nonNull(const T* pointer, const char* what) {
    if (!pointer)
        throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, std::string(what) + ": null payload");
    return pointer;
}

} // namespace

ResultCode HostDeviceInterop::setExposure(const int32_t* exposure) {
    return guard([&] { send(PacketId::exposure, nonNull(exposure, "setExposure"), 4); });
}

ResultCode HostDeviceInterop::sendPacket10(const uint8_t* fourBytes) {
    return guard([&] { send(PacketId::setting10, nonNull(fourBytes, "sendPacket10"), 4); });
}

ResultCode HostDeviceInterop::sendPacket13(const uint8_t* oneByte) {
    return guard([&] { send(PacketId::setting13, nonNull(oneByte, "sendPacket13"), 1); });
}

void HostDeviceInterop::dispatch(Tracking2::IDeviceToHost& r, const Packet& packet, double) {
    const uint8_t id = packet.id;
    if (id >= PacketId::count)
        throw InterfaceContract::Exception(InterfaceContract::E_NOTIMPL_CODE,
                                           "Tracking packet id " + std::to_string(id) + " is not implemented");
    const uint32_t needed = payloadSize(id);
    if (packet.size < needed || (needed > 0 && !packet.payload)) {
        std::string message = "Tracking packet " + std::to_string(id) + ": payload of " + std::to_string(packet.size) +
                              " bytes, needs " + std::to_string(needed);
        logLine() << message;
        throw std::invalid_argument(message);
    }
    const void* p = packet.payload;
    auto points = static_cast<const CompressedPoint*>(p);
    auto deltas = static_cast<const PointDelta*>(p);
    auto sample = static_cast<const InertialSample*>(p);
    ResultCode code;
    switch (id) {
    case 0: code = r.beginFrame(); break;
    case 1: code = r.temperature(static_cast<const WireFloat*>(p)); break;
    case 2: code = r.gyroscope(sample); break;
    case 3: code = r.accelerometer2g(sample); break;
    case 4: code = r.accelerometer4g(sample); break;
    case 5: code = r.accelerometer8g(sample); break;
    case 6: code = r.accelerometer16g(sample); break;
    case 7: code = r.points1(points); break;
    case 8: code = r.points2(points); break;
    case 9: code = r.points3(points); break;
    case 10: code = r.points4(points); break;
    case 11: code = r.points5(points); break;
    case 12: code = r.points6(points); break;
    case 13: code = r.points7(points); break;
    case 14: code = r.points8(points); break;
    case 15: code = r.insertedPointAndDelta(static_cast<const InsertedPointAndDelta*>(p)); break;
    case 16: code = r.deltas1(deltas); break;
    case 17: code = r.deltas2(deltas); break;
    case 18: code = r.deltas3(deltas); break;
    case 19: code = r.deltas4(deltas); break;
    case 20: code = r.deltas5(deltas); break;
    case 21: code = r.deltas6(deltas); break;
    case 22: code = r.deltas7(deltas); break;
    case 23: code = r.deltas8(deltas); break;
    case 24: code = r.skipAndDelta(deltas); break;
    default: code = r.crossedDeltas(deltas); break;
    }
    check(&r, code);
}

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::Tracking2
