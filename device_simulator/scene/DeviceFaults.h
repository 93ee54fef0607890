#pragma once
// Faults of one simulated tracker that a person debugging poor tracking looks for, each with its
// ground truth in the scenario: covered markers, lamps that look like markers, optical frames
// the device skips, runs of missing inertial samples, and an exposure that saturates the blobs.
// (An inertial lag is the device's `imuDelayMs`.)
//
// FaultSchedule decides when the random faults strike. Each decision is a pure function of the
// seed and the frame, sample or second it concerns, so every run of a scenario, and every task
// started at any time, loses the same frames and samples.

#include <cstdint>
#include <vector>

#include "device_simulator/scene/Pose.h"

namespace Kestrel::DeviceSimulator {

// A marker the camera never sees: either its index in the environment's marker list, or the
// tile (column, row) of a rigid layout and the marker on that tile's bar (0, 1 or 2 along the
// bar). The tile form is turned into the index when the environment is known
// (resolveCoveredMarkers); until then `index` is -1.
struct CoveredMarker {
    int64_t index = -1;
    int64_t tileX = -1, tileY = -1;
    int marker = 0;
    bool byTile() const { return tileX >= 0; }
};

// A light in the room that is not a marker: seen like a marker at its position, `brightness`
// times as bright as a marker at the same distance. With `flickerHz` > 0 it is on during the
// first half of every period (from time 0), off during the second.
struct Lamp {
    Vec3 position;
    double brightness = 1.0;
    double flickerHz = 0.0;
};

// Runs of missing gyroscope and accelerometer samples: on average `perSecond` runs per second
// (a Poisson number per whole second of the sample clock, each starting at a uniformly drawn
// sample of that second), each `samples` samples long.
struct InertialGaps {
    double perSecond = 0.0;
    int samples = 0;
};

struct DeviceFaults {
    std::vector<CoveredMarker> covered;
    std::vector<Lamp> lamps;
    double lostFrames = 0.0;     // probability that the device skips an optical frame
    InertialGaps inertialGaps;
    double exposureGain = 1.0;   // blob brightness factor; large values clip the blob values at
                                 // their maximum code (32128) and the image at 255
};

// Blob identities of lamps (lampIdentityBase + lamp index), beside markers (their index) and
// floor reflections.
constexpr int64_t lampIdentityBase = 2000000;

class FaultSchedule {
public:
    FaultSchedule(const DeviceFaults& faults, uint64_t seed) : faults_(faults), seed_(seed) {}

    // Whether the device skips optical frame `frame` (time frame / frameRate): chance lostFrames.
    bool frameLost(int64_t frame) const;
    // Whether inertial sample `sample` (time sample / 2000) is missing from the stream.
    bool sampleMissing(int64_t sample) const;
    // Whether a lamp shines at time t.
    static bool lampOn(const Lamp& lamp, double t);

private:
    // Start samples of the gaps that begin in whole second `second` of the sample clock.
    std::vector<int64_t> gapStarts(int64_t second) const;

    DeviceFaults faults_;
    uint64_t seed_;
};

} // namespace Kestrel::DeviceSimulator
