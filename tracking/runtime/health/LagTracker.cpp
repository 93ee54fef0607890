#include "tracking/runtime/health/LagTracker.h"

#include <cmath>

#include "tracking/runtime/calibration/PointUndistortion.h"

namespace Kestrel::Orb::Tracking::Health {

namespace {
const float followCosine = float(std::cos(2.0 * 3.14159265358979 / 180.0));
}

LagTracker::LagTracker(double gyroscopeRate, double segmentSeconds, double minimumCorrelation)
    : gyroscopeRate_(gyroscopeRate), segmentSamples_(std::size_t(std::max(1.0, gyroscopeRate * segmentSeconds))),
      minimumCorrelation_(minimumCorrelation) {
    timeline_.starts.push_back({0, 0});
}

void LagTracker::gyroscope(const KestrelMath::vector3<float>& rotation) {
    if (!known_)
        return;
    integrated_ += rotation;
    gyroscopeList_.push_back(integrated_);
}

void LagTracker::point(float x, float y) {
    if (!known_ || !frameOpen_)
        return;
    const KestrelMath::vector3<float> d = unifiedRayDirection(x, y, xi_);
    anyPoint_ = true;
    if (following_) {
        const float c = KestrelMath::dot(d, followed_);
        if (c > bestDot_) {
            bestDot_ = c;
            nearest_ = d;
        }
    }
    const float r = x * x + y * y;
    if (r < bestCentre_) {
        bestCentre_ = r;
        central_ = d;
    }
}

void LagTracker::closeFrame() {
    LatencyCorrelation::Frames::value_type entry;
    entry.frameNumber = ++frameNumber_;
    if (following_ && bestDot_ >= followCosine) {
        entry.rayCount = 1;
        entry.direction = nearest_;
        followed_ = nearest_;
    } else if (anyPoint_) {
        following_ = true;
        followed_ = central_;
    } else {
        following_ = false;
    }
    frames_.push_back(entry);
}

void LagTracker::frameBegan() {
    if (!known_)
        return;
    if (frameOpen_)
        closeFrame();
    if (gyroscopeList_.size() >= segmentSamples_)
        estimateSegment();
    timeline_.frameSample.push_back(gyroscopeList_.size());
    frameOpen_ = true;
    bestDot_ = -2;
    bestCentre_ = 2;
    anyPoint_ = false;
}

void LagTracker::estimateSegment() {
    const LatencyCorrelation::Lag lag = LatencyCorrelation::estimateLag(gyroscopeList_, frames_, timeline_);
    if (lag.found && lag.correlation >= minimumCorrelation_) {
        weightedMs_ += lag.milliseconds * double(lag.pairs);
        weightedCorrelation_ += lag.correlation * double(lag.pairs);
        pairs_ += int64_t(lag.pairs);
        ++segments_;
    }
    // The next stretch starts from here; the followed light carries over.
    gyroscopeList_.clear();
    frames_.clear();
    timeline_.frameSample.clear();
    integrated_ = {};
}

LagFigures LagTracker::figures() const {
    LagFigures f;
    f.segments = segments_;
    f.pairs = pairs_;
    if (pairs_ > 0) {
        f.found = true;
        f.milliseconds = weightedMs_ / double(pairs_);
        f.correlation = weightedCorrelation_ / double(pairs_);
    }
    return f;
}

} // namespace Kestrel::Orb::Tracking::Health
