#pragma once
// Interfaces of the tracking task between the device-network library and the host-side task.
//
//   Tracking2::IDeviceToHost   wire level: one method per device-to-host packet id N (slot 3 + N),
//                              implemented by the point-stream decoder (HostStream);
//   Tracking::IDeviceToHost    decoded data, implemented by the tracking cotask;
//   Tracking::IHostToDevice    host-to-device packets, implemented by the interop object.
// Payload pointers are borrowed for the call and point at packed wire records (TrackingWire.h);
// a null pointer is E_POINTER.

#include "interface_contract/Interfaces.h"
#include "tracking/runtime/stream/TrackingWire.h"

namespace Kestrel::DeviceNetwork::Tasks::Orb {

using InterfaceContract::IInterface;
using InterfaceContract::InterfaceId;
using InterfaceContract::makeInterfaceId;
using InterfaceContract::ResultCode;

namespace Tracking2 {

struct IDeviceToHost : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("2DB1DC90-52CC-4CB6-9037-3AE4246E65A3");
    virtual ResultCode KESTREL_CALL beginFrame() = 0;                                   // id 0
    virtual ResultCode KESTREL_CALL temperature(const WireFloat* celsius) = 0;          // id 1
    virtual ResultCode KESTREL_CALL gyroscope(const InertialSample* sample) = 0;        // id 2
    virtual ResultCode KESTREL_CALL accelerometer2g(const InertialSample* sample) = 0;  // id 3
    virtual ResultCode KESTREL_CALL accelerometer4g(const InertialSample* sample) = 0;  // id 4
    virtual ResultCode KESTREL_CALL accelerometer8g(const InertialSample* sample) = 0;  // id 5
    virtual ResultCode KESTREL_CALL accelerometer16g(const InertialSample* sample) = 0; // id 6
    // ids 7..14: 1..8 full points in order.
    virtual ResultCode KESTREL_CALL points1(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points2(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points3(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points4(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points5(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points6(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points7(const CompressedPoint* points) = 0;
    virtual ResultCode KESTREL_CALL points8(const CompressedPoint* points) = 0;
    // id 15: a full point that takes no reference, then a delta point.
    virtual ResultCode KESTREL_CALL insertedPointAndDelta(const InsertedPointAndDelta* payload) = 0;
    // ids 16..23: 1..8 delta points in order.
    virtual ResultCode KESTREL_CALL deltas1(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas2(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas3(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas4(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas5(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas6(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas7(const PointDelta* deltas) = 0;
    virtual ResultCode KESTREL_CALL deltas8(const PointDelta* deltas) = 0;
    // id 24: the reference point vanished; skip it, then a delta point.
    virtual ResultCode KESTREL_CALL skipAndDelta(const PointDelta* delta) = 0;
    // id 25: two points that swapped places: the first delta refers to reference index + 1,
    // the second to reference index.
    virtual ResultCode KESTREL_CALL crossedDeltas(const PointDelta* deltas) = 0;
};

} // namespace Tracking2

namespace Tracking {

// A decoded blob: its value and its pixel position on the 640 by 480 sensor (1-based).
struct OpticalPoint {
    int32_t value;
    float x;
    float y;
};

using Tracking2::InertialSample;

struct IDeviceToHost : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("AFBB8293-1E7B-4A3C-8886-DBE139FC8ADA");
    // slot 3: a new optical frame begins; the previous one is complete.
    virtual ResultCode KESTREL_CALL beginFrame() = 0;
    // slot 4: one point of the current frame.
    virtual ResultCode KESTREL_CALL pointReceived(const OpticalPoint* point) = 0;
    // slot 5: the sensor temperature.
    virtual ResultCode KESTREL_CALL temperatureReceived(float celsius) = 0;
    // slot 6: one raw gyroscope sample.
    virtual ResultCode KESTREL_CALL gyroscopeReceived(const InertialSample* sample) = 0;
    // slots 7..10: one raw accelerometer sample at range 2, 4, 8 or 16 g.
    virtual ResultCode KESTREL_CALL accelerometerReceived2g(const InertialSample* sample) = 0;
    virtual ResultCode KESTREL_CALL accelerometerReceived4g(const InertialSample* sample) = 0;
    virtual ResultCode KESTREL_CALL accelerometerReceived8g(const InertialSample* sample) = 0;
    virtual ResultCode KESTREL_CALL accelerometerReceived16g(const InertialSample* sample) = 0;
};

struct IHostToDevice : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("1B847E75-5BB1-4150-8F1D-1D4F840E3513");
    // slot 3: packet 9, the camera exposure (4 bytes). A failure of the connection is returned.
    virtual ResultCode KESTREL_CALL setExposure(const int32_t* exposure) = 0;
    // slot 4: packet 10 with these 4 bytes.
    virtual ResultCode KESTREL_CALL sendPacket10(const uint8_t* fourBytes) = 0;
    // slot 5: packet 13 with this byte.
    virtual ResultCode KESTREL_CALL sendPacket13(const uint8_t* oneByte) = 0;
};

} // namespace Tracking

} // namespace Kestrel::DeviceNetwork::Tasks::Orb
