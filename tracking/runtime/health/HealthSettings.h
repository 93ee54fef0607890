#pragma once
// What the health analysis counts as usual and where a figure becomes a finding. The defaults
// are set so that a clean session (the simulator's default scenarios, over several seeds)
// gives no finding while each fault the findings name does.

#include <cstdint>

namespace Kestrel::Orb::Tracking::Health {

struct HealthSettings {
    double windowSeconds = 1.0;
    // The tracker's inertial rate; the frame interval in samples is turned into time by it.
    double gyroscopeRate = 2000.0;
    // A decoded blob value at or above this is saturated (the top of the value scale).
    int32_t saturatedValue = 32128;
    // A point seen in view of a marker counts only well inside the field of view: its image
    // point within this share of the view's radius.
    double inViewRadiusShare = 0.85;
    // Unmatched rays meeting the marker plane within this distance belong to one source.
    double strayClusterRadius = 0.15;
    int strayHeatMapSize = 32;

    // Findings.
    double lostFramesShare = 0.005;        // lost frames above this share of all frames
    int64_t invalidSequences = 3;          // or more "Invalid stream sequence" events
    double jitterShareOfInterval = 0.25;   // jitter above this share of the frame interval
    int64_t inertialGaps = 1;              // this many gaps or more ...
    double inertialMissingMs = 20.0;       // ... that lacked at least this much in all
    int64_t gyroscopeOverflows = 20;
    double saturatedShare = 0.05;
    double dimMeanValue = 60.0;            // mean blob value below this: too little exposure
    int64_t markerMinimumInView = 100;     // frames in view before a marker is judged
    double markerMatchRate = 0.3;          // a marker matched in fewer of its frames in view ...
    double markerRelativeRate = 0.5;       // ... and in less than this share of the median marker's rate
    double strayFrameShare = 0.2;          // a source in at least this share of 6DoF frames ...
    int64_t strayMinimumFrames = 100;      // ... and this many frames ...
    double strayRelativeValue = 0.5;       // ... at least this share of the median matched blob value
    int64_t lossesPerMinute = 2;           // 6DoF lost more often than this ...
    int lossMarkersInView = 6;             // ... while at least this many markers were well in view
                                           // (turning away from the markers is no fault)
    double no6DofAfterSeconds = 10.0;      // no 6DoF after this long
    double failureShare = 0.1;             // optimisations failing in more than this share of batches in 6DoF
    double lagMs = 3.0;                    // an inertial lag beyond +- this ...
    double lagCorrelation = 0.5;           // ... estimated with at least this correlation
    double lagSegmentSeconds = 10.0;       // stretch of session per lag estimate
};

} // namespace Kestrel::Orb::Tracking::Health
