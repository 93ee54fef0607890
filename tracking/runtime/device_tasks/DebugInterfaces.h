#pragma once
// Interfaces of the tracker's debug task (camera access) and the records it exchanges.
//
//   Kestrel::Orb::IImage                   one grey camera image, handed to the viewer;
//   Kestrel::Orb::Debug::ICotask           what the Image viewer calls (face 0 of OrbDebugCotask);
//   Tasks::Orb::Debug::IHostToDevice       host-to-device packets, implemented by the interop;
//   Tasks::Orb::Debug::IDeviceToHost       device-to-host packets, implemented by the cotask.
// Record pointers are borrowed for the call; a null pointer where a record is needed is
// E_POINTER. All records are little-endian and packed, so they can be read in place.

#include <cstdint>

#include "device_network/DeviceNetworkInterfaces.h"

namespace Kestrel::Orb {

using InterfaceContract::IInterface;
using InterfaceContract::InterfaceId;
using InterfaceContract::makeInterfaceId;
using InterfaceContract::OutArray;
using InterfaceContract::ResultCode;

#pragma pack(push, 1)
// A configuration value of the tracker, addressed by (type, address).
struct ConfigRecord {
    uint32_t type;
    uint32_t address;
    int32_t value;
};
// A blob the tracker detects: a size measure and its pixel position in the 640 by 480 image.
struct DebugPoint {
    uint32_t value;
    float x;
    float y;
};
#pragma pack(pop)
static_assert(sizeof(ConfigRecord) == 12 && sizeof(DebugPoint) == 12, "debug records are 12 bytes on the wire");

// Configuration types known to this system (address 0 each).
namespace ConfigType {
constexpr uint32_t pixelThreshold = 0;
constexpr uint32_t exposure = 4;
} // namespace ConfigType

struct IImage : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("5CC8C296-0DFC-49AE-93AC-3AE7C5A230DF");
    // slot 3: the width * height pixel bytes, row-major, 8-bit grey.
    virtual ResultCode KESTREL_CALL getData(OutArray* pixels) = 0;
    // slots 4..7: offset and size of the image in pixels. Null is E_INVALIDARG.
    virtual ResultCode KESTREL_CALL getX(uint16_t* x) = 0;
    virtual ResultCode KESTREL_CALL getY(uint16_t* y) = 0;
    virtual ResultCode KESTREL_CALL getWidth(uint16_t* width) = 0;
    virtual ResultCode KESTREL_CALL getHeight(uint16_t* height) = 0;
};

namespace Debug {

// The debug cotask as the Image viewer uses it. The blocking requests (getConfig, getImage,
// getPoints) wait at most 2 s for the device's answer and then fail with "Device did not
// answer"; once the task has ended they fail with "Task is finished". Only one request should
// be outstanding at a time.
struct ICotask : DeviceNetwork::ICotask {
    using Base = DeviceNetwork::ICotask;
    static constexpr InterfaceId iid = makeInterfaceId("CED9302B-C62B-41D6-954E-A430FAE48F35");
    // slot 4: sets the camera exposure (configuration type 4, address 0); returns at once.
    virtual ResultCode KESTREL_CALL setExposure(int32_t value) = 0;
    // slot 5: always 0.
    virtual ResultCode KESTREL_CALL getReservedInt(int32_t* zero) = 0;
    // slot 6: always 1.0.
    virtual ResultCode KESTREL_CALL getReservedFloat(float* one) = 0;
    // slot 7: asks the device for the value at (type, address) and waits for the reply.
    virtual ResultCode KESTREL_CALL getConfig(uint32_t type, uint32_t address, int32_t* value) = 0;
    // slot 8: writes a configuration value; returns at once.
    virtual ResultCode KESTREL_CALL setConfig(const ConfigRecord* record) = 0;
    // slot 9: one camera image; *image receives an IImage with one reference for the caller.
    // A stream with a row beyond the image fails with "Region Y coord overflow".
    virtual ResultCode KESTREL_CALL getImage(void** image) = 0;
    // slot 10: the points detected since the previous call, as DebugPoint records.
    virtual ResultCode KESTREL_CALL getPoints(OutArray* points) = 0;
};

} // namespace Debug

} // namespace Kestrel::Orb

namespace Kestrel::DeviceNetwork::Tasks::Orb::Debug {

using Kestrel::Orb::ConfigRecord;
using Kestrel::Orb::DebugPoint;
using InterfaceContract::IInterface;
using InterfaceContract::InterfaceId;
using InterfaceContract::makeInterfaceId;
using InterfaceContract::ResultCode;

// Packet ids of the debug task.
namespace PacketId {
// Host to device.
constexpr uint8_t host1 = 1, host2 = 2, host3 = 3, setConfig = 4, requestConfig = 5, requestImage = 12,
                  requestPoints = 13, host17 = 17, host19 = 19;
// Device to host.
constexpr uint8_t configReply = 4, imageChunk = 8, imageFinalChunk = 9, point = 10, completed = 11;
constexpr uint8_t ignored[] = {15, 16, 22, 23, 24, 25, 26, 27, 29};
} // namespace PacketId

constexpr uint32_t imageChunkSize = 63;

// Host-to-device packets, sent by the interop through its peer. A failure of the connection is
// returned; payload pointers must not be null where a payload is sent.
struct IHostToDevice : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("41AB28A9-EA21-4ECD-A629-305E088313BB");
    virtual ResultCode KESTREL_CALL sendPacket1(const uint8_t* fourBytes) = 0;      // slot 3, id 1
    virtual ResultCode KESTREL_CALL sendPacket2(const uint8_t* fourBytes) = 0;      // slot 4, id 2
    virtual ResultCode KESTREL_CALL sendPacket3(const uint8_t* fourBytes) = 0;      // slot 5, id 3
    virtual ResultCode KESTREL_CALL setConfig(const ConfigRecord* record) = 0;      // slot 6, id 4
    virtual ResultCode KESTREL_CALL requestConfig(const ConfigRecord* record) = 0;  // slot 7, id 5
    virtual ResultCode KESTREL_CALL requestImage() = 0;                            // slot 8, id 12
    virtual ResultCode KESTREL_CALL requestPoints() = 0;                           // slot 9, id 13
    virtual ResultCode KESTREL_CALL sendPacket17() = 0;                            // slot 10, id 17
    virtual ResultCode KESTREL_CALL sendPacket19(const uint8_t* sixteenBytes) = 0;  // slot 11, id 19
};

// Device-to-host packets, dispatched by the interop after checking their sizes.
struct IDeviceToHost : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("F2B80136-1AFE-46B9-9E19-4DA0D45B42DF");
    // slot 3, id 4: the reply to a configuration request.
    virtual ResultCode KESTREL_CALL configReceived(const ConfigRecord* record) = 0;
    // slot 4, id 8: 63 bytes of the image stream.
    virtual ResultCode KESTREL_CALL imageChunk(const uint8_t* bytes63) = 0;
    // slot 5, id 9: the last `count` (0..255) bytes of the image stream; the image is complete.
    virtual ResultCode KESTREL_CALL imageFinalChunk(const uint8_t* bytes, uint32_t count) = 0;
    // slot 6, id 10: one detected point.
    virtual ResultCode KESTREL_CALL pointReceived(const DebugPoint* point) = 0;
    // slot 7, id 11: the answer to a request is complete.
    virtual ResultCode KESTREL_CALL completed() = 0;
    // slots 8..16, ids 15, 16, 22, 23, 24, 25, 26, 27, 29: accepted and ignored.
    virtual ResultCode KESTREL_CALL packet15(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet16(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet22(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet23(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet24(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet25(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet26(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet27(const void* payload, uint32_t size) = 0;
    virtual ResultCode KESTREL_CALL packet29(const void* payload, uint32_t size) = 0;
};

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::Debug
