#pragma once
// Undoes the tracker's delta compression of optical points.
//
// The tracker sends each frame's points either in full or as small deltas against the points
// of the previous frame, walking a reference index through the previous frame's list. The
// stream keeps both lists as wire records, rebuilds every point, decodes its value code and
// pixel position, and forwards everything to the task's Tracking::IDeviceToHost. All calls come
// from the library's one delivery thread of the task, so the stream takes no lock.
//
// No wrong point is ever forwarded:
// - When the target fails on a point, the rest of that frame is dropped (recorded, not
//   forwarded) and the packet fails. Every point of the packet is still recorded, so the next
//   frame's deltas rebuild the right points.
// - When a delta has no reference ("Invalid stream sequence!!!"), host and tracker disagree
//   about the previous frame, so this frame's list cannot serve as reference: the next frame's
//   deltas against it are dropped, and so is every point rebuilt from a dropped one, until full
//   points take their place.

#include <exception>
#include <functional>
#include <vector>

#include "interface_contract/Remap.h"
#include "tracking/runtime/stream/TrackingInterfaces.h"

namespace Kestrel::DeviceNetwork::Tasks::Orb::OpticalPointsCompression {

using Tracking2::CompressedPoint;
using Tracking2::InertialSample;
using Tracking2::InsertedPointAndDelta;
using Tracking2::PointDelta;
using Tracking2::WireFloat;

// Value code v with s = 5 mantissa bits and scale 4: e = v >> s, m = v & (2^s - 1),
// value = uint16((m << e) + 2^s (2^e - 1)) * 4. Codes 31, 32, 255 give 124, 128, 32128.
int32_t decodeBlobValue(uint8_t code);

// Pixel position of a wire point on the 640 by 480 sensor: x16 / 65535 * 640 + 1 and
// y16 / 65535 * 480 + 1.
Tracking::OpticalPoint decodePoint(const CompressedPoint& point);

class HostStream final : public InterfaceContract::Implements<Tracking2::IDeviceToHost> {
public:
    // `onInvalidSequence`, when given, is called (on the delivery thread) at every delta without
    // a reference, after the message is written.
    explicit HostStream(InterfaceContract::Ref<Tracking::IDeviceToHost> target,
                        std::function<void()> onInvalidSequence = {});

    ResultCode KESTREL_CALL beginFrame() override;
    ResultCode KESTREL_CALL temperature(const WireFloat* celsius) override;
    ResultCode KESTREL_CALL gyroscope(const InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometer2g(const InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometer4g(const InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometer8g(const InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometer16g(const InertialSample* sample) override;
    ResultCode KESTREL_CALL points1(const CompressedPoint* p) override { return addPoints(p, 1); }
    ResultCode KESTREL_CALL points2(const CompressedPoint* p) override { return addPoints(p, 2); }
    ResultCode KESTREL_CALL points3(const CompressedPoint* p) override { return addPoints(p, 3); }
    ResultCode KESTREL_CALL points4(const CompressedPoint* p) override { return addPoints(p, 4); }
    ResultCode KESTREL_CALL points5(const CompressedPoint* p) override { return addPoints(p, 5); }
    ResultCode KESTREL_CALL points6(const CompressedPoint* p) override { return addPoints(p, 6); }
    ResultCode KESTREL_CALL points7(const CompressedPoint* p) override { return addPoints(p, 7); }
    ResultCode KESTREL_CALL points8(const CompressedPoint* p) override { return addPoints(p, 8); }
    ResultCode KESTREL_CALL insertedPointAndDelta(const InsertedPointAndDelta* payload) override;
    ResultCode KESTREL_CALL deltas1(const PointDelta* d) override { return addDeltas(d, 1); }
    ResultCode KESTREL_CALL deltas2(const PointDelta* d) override { return addDeltas(d, 2); }
    ResultCode KESTREL_CALL deltas3(const PointDelta* d) override { return addDeltas(d, 3); }
    ResultCode KESTREL_CALL deltas4(const PointDelta* d) override { return addDeltas(d, 4); }
    ResultCode KESTREL_CALL deltas5(const PointDelta* d) override { return addDeltas(d, 5); }
    ResultCode KESTREL_CALL deltas6(const PointDelta* d) override { return addDeltas(d, 6); }
    ResultCode KESTREL_CALL deltas7(const PointDelta* d) override { return addDeltas(d, 7); }
    ResultCode KESTREL_CALL deltas8(const PointDelta* d) override { return addDeltas(d, 8); }
    ResultCode KESTREL_CALL skipAndDelta(const PointDelta* delta) override;
    ResultCode KESTREL_CALL crossedDeltas(const PointDelta* deltas) override;

private:
    ResultCode addPoints(const CompressedPoint* points, int count);
    ResultCode addDeltas(const PointDelta* deltas, int count);
    ResultCode forwardAccelerometer(const InertialSample* sample,
                                    ResultCode (KESTREL_CALL Tracking::IDeviceToHost::*method)(const InertialSample*));
    // A point as the stream holds it; `known` is false for a point rebuilt from a dropped one.
    struct StoredPoint {
        CompressedPoint point;
        bool known;
    };
    // Appends the record and advances the reference index; forwards the decoded point unless it
    // is unknown or the frame is dropped. A failure of the target drops the frame and is kept in
    // `failure` (the first one), so that the caller records the rest of its packet first.
    void addPoint(const CompressedPoint& point, bool known, std::exception_ptr& failure);
    // The delta point against previous[referenceIndex]; dropped with the stream-sequence
    // message when there is no such reference.
    void addDelta(const PointDelta& delta, std::exception_ptr& failure);
    bool hasReference(int64_t index) const;
    void reportInvalidSequence();

    InterfaceContract::Ref<Tracking::IDeviceToHost> target_;
    std::function<void()> onInvalidSequence_;
    std::vector<StoredPoint> previous_;
    std::vector<StoredPoint> current_;
    int32_t referenceIndex_ = 0;
    bool frameDropped_ = false;      // the target failed on a point of this frame
    bool currentIsReference_ = true;  // false after a delta without reference in this frame
};

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::OpticalPointsCompression
