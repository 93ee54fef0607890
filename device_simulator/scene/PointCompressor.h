#pragma once
// Device side of the optical point stream: turns one frame of blobs into the packets a tracker
// sends, relative to the frame before, so that the host's decompression rebuilds the frame.
//
// The host keeps the previous frame's list and a reference index r into it. Points are sent in
// raster order (as a sensor reads them out); for each the cheapest form is chosen:
//   delta (16..23, 1..8 in a row)  the point whose previous-frame twin is at r;
//   skip  (24)                     the twin is at r + 1: the reference at r has vanished;
//   cross (25)                     this point's twin is at r + 1 and the next one's at r;
//   insert (15)                    a new point directly before a point whose twin is at r;
//   full  (7..14, 1..8 in a row)   anything else. A full point consumes the reference at r,
//                                  which is how a new point fills the place of a vanished one.
// A delta must fit 10 bits per axis (-512..511 wire units) and 4 bits of value code (-8..7).

#include <cstdint>
#include <string>
#include <vector>

#include "device_simulator/scene/WirePoint.h"

namespace Kestrel::DeviceSimulator {

struct FramePoint {
    int64_t identity = -1;  // the same blob in consecutive frames has the same identity; -1: none
    WirePoint point;
};

struct EncodedPacket {
    uint8_t id = 0;
    std::string payload;
};

class PointCompressor {
public:
    // Packets of one frame: the frame start (id 0) followed by the points. `points` are reordered
    // into raster order (by y, then x); the host receives them in that order.
    std::vector<EncodedPacket> encodeFrame(std::vector<FramePoint> points);

    // Forget the previous frame (a new stream starts with full points only).
    void reset() { previous_.clear(); }

    // The frame as the host holds it after the last encodeFrame, in stream order.
    const std::vector<FramePoint>& previousFrame() const { return previous_; }

private:
    std::vector<FramePoint> previous_;
};

// Bytes of a wire point and of a delta (exposed for tests).
std::string encodeWirePoint(const WirePoint& point);
// Whether the change from `reference` to `point` fits a delta.
bool fitsDelta(const WirePoint& reference, const WirePoint& point);
std::string encodeDelta(const WirePoint& reference, const WirePoint& point);

} // namespace Kestrel::DeviceSimulator
