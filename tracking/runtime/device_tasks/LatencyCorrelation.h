#pragma once
// Compares the optical motion recorded by the gyroscope-latency task with the integrated
// gyroscope rotation about the tracker's y axis.
//
// Optical turn: per frame with at least one accepted ray, the horizontal angle of its last ray,
// h = atan2(x, z) in degrees. Turning the tracker by +a about its own y axis turns a fixed light
// by -a in the tracker's frame, so the optical turn from frame k - 1 to frame k is
// -(h(k) - h(k - 1)), brought into (-180, 180]. With several lights in view the last ray may
// belong to another light from one frame to the next; such a step shows as a jump that no
// turn of the tracker explains, so a step counts only when both frames saw the same number of
// rays and it is at most twice the largest gyroscope turn between two successive frames of the
// recording, plus half a degree.
//
// Optical curve: the sum of the counted steps since the recording's first frame with rays, so
// that it starts at 0 like the gyroscope curve; it is broken (and continues at the same level)
// where a frame has no ray or a step is not counted. A frame sits on the gyroscope's sample axis
// at the index of the last gyroscope entry recorded before it began (at 2000 samples a second
// that is 2000 / frame rate samples per frame).
//
// Lag: for a shift of L samples, each counted optical step from frame k - 1 to frame k is
// compared with the gyroscope's turn between entries s(k - 1) + L and s(k) + L; the lag is the L
// with the largest correlation coefficient over the counted steps of the last recording,
// refined between samples by a parabola through the best three. Comparing turns per frame
// rather than angles removes the gyroscope's slow bias drift and any constant turn rate, which
// correlates equally at every shift. A positive lag means the gyroscope data come late.

#include <cstddef>
#include <vector>

#include "tracking/runtime/device_tasks/GyroscopeLatency.h"

namespace LatencyCorrelation {

using Gyroscope = std::vector<KestrelMath::vector3<float>>;
using Frames = std::vector<Kestrel::Orb::Tracking::GyroscopeLatency::FrameEntry>;
using Timeline = Kestrel::Orb::Tracking::GyroscopeLatency::Timeline;

constexpr double samplesPerSecond = 2000.0;

struct OpticalPoint {
    size_t frame = 0;        // index in the frame list
    double sampleIndex = 0;  // position on the gyroscope's sample axis
    double angle = 0;        // degrees, as drawn
};
// One run of successive frames with rays, inside one recording; drawn as one polyline.
using OpticalRun = std::vector<OpticalPoint>;

// The optical curve of every recording.
std::vector<OpticalRun> opticalCurve(const Gyroscope& gyroscope, const Frames& frames, const Timeline& timeline);

struct Lag {
    bool found = false;
    double milliseconds = 0;
    double correlation = 0;  // at the best whole-sample shift
    size_t pairs = 0;        // frame pairs compared at that shift
};

// The lag of the last recording, searched within +-maximumMilliseconds. Not found with fewer
// than `minimumPairs` frame pairs, or when either turn series does not vary.
Lag estimateLag(const Gyroscope& gyroscope, const Frames& frames, const Timeline& timeline,
                double maximumMilliseconds = 100.0, size_t minimumPairs = 20);

} // namespace LatencyCorrelation
