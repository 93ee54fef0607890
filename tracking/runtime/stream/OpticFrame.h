#pragma once
// One optical frame and the record that carries it, with its inertial leap, to the
// optimisation thread.

#include <vector>

#include "tracking/runtime/inertial/LeapSummary.h"
#include "tracking/runtime/pipeline/Ray.h"

namespace Kestrel::Orb::Tracking {

struct OpticFrame {
    KestrelMath::vector<float, 3> up;  // unit, tracker frame, measured at the frame's start
    std::vector<Ray> rays;
};

// A frame whose leap duration is NaN asks the optimisation thread to stop.
struct FrameRecord {
    OpticFrame frame;
    LeapSummary leap;
};

} // namespace Kestrel::Orb::Tracking
