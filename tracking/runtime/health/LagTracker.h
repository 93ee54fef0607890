#pragma once
// The inertial-to-optical lag of a session, estimated stretch by stretch with the gyroscope
// latency task's correlation (LatencyCorrelation): the integrated gyroscope rotation against
// the horizontal angle of one light followed from frame to frame.
//
// The light followed is, in each frame, the ray nearest (within 2 degrees) to the one followed
// in the frame before; when none is that near, the ray nearest the image centre starts a new
// track and that frame counts as one without a ray, so that the correlation never compares
// two different lights. Each stretch of `segmentSeconds` gives an estimate when its motion
// varied enough; the session's lag is the mean of the estimates whose correlation reaches
// `minimumCorrelation`, weighted by their frame pairs.

#include <cstdint>

#include "tracking/runtime/device_tasks/LatencyCorrelation.h"
#include "tracking/runtime/health/HealthReport.h"

namespace Kestrel::Orb::Tracking::Health {

class LagTracker {
public:
    LagTracker(double gyroscopeRate, double segmentSeconds, double minimumCorrelation);

    void setXi(float xi) { xi_ = xi; known_ = true; }
    void gyroscope(const KestrelMath::vector3<float>& rotation);
    void frameBegan();
    void point(float x, float y);

    LagFigures figures() const;

private:
    void closeFrame();
    void estimateSegment();

    double gyroscopeRate_;
    std::size_t segmentSamples_;
    double minimumCorrelation_;
    bool known_ = false;
    float xi_ = 0;
    KestrelMath::vector3<float> integrated_{};
    LatencyCorrelation::Gyroscope gyroscopeList_;
    LatencyCorrelation::Frames frames_;
    LatencyCorrelation::Timeline timeline_;
    bool frameOpen_ = false;
    bool following_ = false;
    KestrelMath::vector3<float> followed_{};
    // The current frame's best candidates: nearest the followed ray, nearest the centre.
    float bestDot_ = -2, bestCentre_ = 2;
    KestrelMath::vector3<float> nearest_{}, central_{};
    bool anyPoint_ = false;
    int32_t frameNumber_ = 0;
    double weightedMs_ = 0, weightedCorrelation_ = 0;
    int64_t pairs_ = 0;
    int segments_ = 0;
};

} // namespace Kestrel::Orb::Tracking::Health
