#pragma once
// Wire records of the tracking task, as the tracker sends them (little-endian, packed).
//
//   CompressedPoint (5 bytes): x, y as 16-bit fractions of the sensor size, the blob value code.
//   PointDelta (3 bytes): byte 0 bits 0-7 of dx, byte 1 bits 0-7 of dy, byte 2 bits 0-1 bits
//     8-9 of dx, bits 2-3 bits 8-9 of dy, bits 4-7 dv; dx, dy 10-bit and dv 4-bit two's
//     complement, applied modulo 2^16 and 2^8 to a point of the previous frame.
//   InertialSample (6 bytes): three signed 16-bit axes.
// The structs have alignment 1 so that they can be read in place from any payload.

#include <cstdint>

namespace Kestrel::DeviceNetwork::Tasks::Orb::Tracking2 {

#pragma pack(push, 1)
struct CompressedPoint {
    uint16_t x;
    uint16_t y;
    uint8_t value;
};
struct PointDelta {
    uint8_t dxLow;
    uint8_t dyLow;
    uint8_t high;

    int dx() const { return signExtend(dxLow | (high & 0x03) << 8, 10); }
    int dy() const { return signExtend(dyLow | (high >> 2 & 0x03) << 8, 10); }
    int dv() const { return signExtend(high >> 4, 4); }

    static PointDelta make(int dx, int dy, int dv) {
        return {uint8_t(dx), uint8_t(dy), uint8_t((dx >> 8 & 0x03) | (dy >> 8 & 0x03) << 2 | (dv & 0x0F) << 4)};
    }

private:
    static int signExtend(int bits, int width) { return bits & 1 << (width - 1) ? bits - (1 << width) : bits; }
};
struct InertialSample {
    int16_t x, y, z;
};
struct WireFloat {
    float value;
};
// Packet 15: a point that takes no reference, then a delta point.
struct InsertedPointAndDelta {
    CompressedPoint point;
    PointDelta delta;
};
#pragma pack(pop)

static_assert(sizeof(CompressedPoint) == 5 && sizeof(PointDelta) == 3 && sizeof(InertialSample) == 6 &&
                  sizeof(InsertedPointAndDelta) == 8 && alignof(CompressedPoint) == 1,
              "wire records are packed");

// The reference point moved by the delta, modulo 2^16 for x, y and 2^8 for the value code.
inline CompressedPoint applyDelta(const CompressedPoint& reference, const PointDelta& delta) {
    return {uint16_t(reference.x + delta.dx()), uint16_t(reference.y + delta.dy()),
            uint8_t(reference.value + delta.dv())};
}

// Packet ids of the tracking task, device to host.
namespace PacketId {
constexpr uint8_t beginFrame = 0, temperature = 1, gyroscope = 2, accelerometer2g = 3, accelerometer16g = 6,
                  points1 = 7, points8 = 14, insertedPointAndDelta = 15, deltas1 = 16, deltas8 = 23,
                  skipAndDelta = 24, crossedDeltas = 25, count = 26;
// Host to device.
constexpr uint8_t exposure = 9, setting10 = 10, setting13 = 13;
} // namespace PacketId

// The payload size that device-to-host packet `id` needs (id < 26).
constexpr uint32_t payloadSize(uint8_t id) {
    if (id == PacketId::beginFrame)
        return 0;
    if (id == PacketId::temperature)
        return 4;
    if (id <= PacketId::accelerometer16g)
        return 6;
    if (id <= PacketId::points8)
        return 5u * (id - PacketId::points1 + 1);
    if (id == PacketId::insertedPointAndDelta)
        return 8;
    if (id <= PacketId::deltas8)
        return 3u * (id - PacketId::deltas1 + 1);
    if (id == PacketId::skipAndDelta)
        return 3;
    return 6;  // crossed pair
}

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::Tracking2
