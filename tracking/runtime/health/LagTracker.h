#pragma once
// The inertial-to-optical lag of a session, estimated stretch by stretch with the gyroscope
// latency task's correlation (LatencyCorrelation): the integrated gyroscope rotation against
// the turn of the lights in the image.
//
// The correlation compares turns about the tracker's y axis with the horizontal angle of a
// light. A tracker whose camera looks at the floor or the ceiling turns mostly about its
// optical axis (z) instead, so the axes are renamed by a cyclic permutation (a proper
// rotation) that makes z the y axis of the correlation, for the gyroscope and the light alike.
//
// One light alone turns in the image also when the tracker only moves (parallax), and so does
// the mean of several. The light handed to the correlation is therefore a virtual one whose
// angle about the optical axis moves, from frame to frame, by the turn of the 2D similarity
// that best carries the frame's followed points onto their places in the frame before
// (centred, least squares: atan2(sum p x q, sum p . q)). Moving over the marker plane shifts
// and scales the points; only a turn about the optical axis turns them. Each ray is followed
// to the nearest ray of the frame before (within 2 degrees); a frame with fewer than three
// followed rays counts as one without a ray.
//
// Each stretch of `segmentSeconds` gives an estimate when its motion varied enough; the
// session's lag is the mean of the estimates whose correlation reaches `minimumCorrelation`,
// weighted by their frame pairs.

#include <cstdint>
#include <vector>

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

    std::size_t segmentSamples_;
    double minimumCorrelation_;
    bool known_ = false;
    float xi_ = 0;
    KestrelMath::vector3<float> integrated_{};
    LatencyCorrelation::Gyroscope gyroscopeList_;
    LatencyCorrelation::Frames frames_;
    LatencyCorrelation::Timeline timeline_;
    bool frameOpen_ = false;
    struct Point {
        KestrelMath::vector3<float> direction;
        double x, y;  // normalized image point
    };
    std::vector<Point> previous_, current_;
    double angle_ = 0;  // the virtual light's angle about the optical axis, degrees
    int32_t frameNumber_ = 0;
    double weightedMs_ = 0, weightedCorrelation_ = 0;
    int64_t pairs_ = 0;
    int segments_ = 0;
};

} // namespace Kestrel::Orb::Tracking::Health
