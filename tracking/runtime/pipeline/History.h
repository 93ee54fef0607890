#pragma once
// The optimiser's memory: the last 32 frames with their rays, leaps and up directions, and the
// per-ray blob tracks (HistoryMarker) of the newest and the previous frame.

#include <array>
#include <vector>

#include "tracking/runtime/stream/OpticFrame.h"

namespace Kestrel::Orb::Tracking {

struct HistoryMarker {
    KestrelMath::vector<float, 3> direction;  // unit, tracker frame
    float distance;                           // metres
    float weight;
};

class History {
public:
    static constexpr int capacity = 32;

    // Stores `frame` as the newest, dropping the oldest when full.
    void add(FrameRecord frame);
    int count() const { return count_; }
    // The stored frame of age `age`, 0 being the newest; age < count().
    FrameRecord& fromNewest(int age);
    const FrameRecord& fromNewest(int age) const;

    // Distance assumed for a ray without a marker; follows the matched rays' mean distance.
    float defaultMarkerDistance = 2.0f;
    // The blobs of the frame before the newest, one per ray of that frame, moved into the
    // newest frame by the inertial leap and the velocity: where the blob tracking looked for
    // them. Empty while the History holds fewer than two frames.
    std::vector<HistoryMarker> projections;

private:
    std::array<FrameRecord, capacity> frames_{};
    int count_ = 0;
    int writeIndex_ = 0;
};

} // namespace Kestrel::Orb::Tracking
