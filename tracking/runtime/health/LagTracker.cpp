#include "tracking/runtime/health/LagTracker.h"

#include <algorithm>
#include <cmath>

#include "tracking/runtime/calibration/PointUndistortion.h"

namespace Kestrel::Orb::Tracking::Health {

namespace {

constexpr double degreesPerRadian = 57.29577951308232;
const float followCosine = float(std::cos(2.0 / degreesPerRadian));
constexpr std::size_t raysPerFrame = 32;
constexpr int minimumFollowed = 3;

// The vector with its axes renamed so that z becomes y: (y, z, x), a cyclic permutation, so
// turning senses are kept.
KestrelMath::vector3<float> zAsY(const KestrelMath::vector3<float>& v) { return {{v[1], v[2], v[0]}}; }

} // namespace

LagTracker::LagTracker(double gyroscopeRate, double segmentSeconds, double minimumCorrelation)
    : segmentSamples_(std::size_t(std::max(1.0, gyroscopeRate * segmentSeconds))), minimumCorrelation_(minimumCorrelation) {
    timeline_.starts.push_back({0, 0});
}

void LagTracker::gyroscope(const KestrelMath::vector3<float>& rotation) {
    if (!known_)
        return;
    integrated_ += rotation;
    gyroscopeList_.push_back(integrated_);
}

void LagTracker::point(float x, float y) {
    if (known_ && frameOpen_ && current_.size() < raysPerFrame)
        current_.push_back({unifiedRayDirection(x, y, xi_), double(x), double(y)});
}

void LagTracker::closeFrame() {
    // Pairs (p before, q now) of followed points.
    std::vector<std::pair<const Point*, const Point*>> pairs;
    for (const Point& now : current_) {
        float best = followCosine;
        const Point* before = nullptr;
        for (const Point& candidate : previous_) {
            const float c = KestrelMath::dot(now.direction, candidate.direction);
            if (c >= best) {
                best = c;
                before = &candidate;
            }
        }
        if (before)
            pairs.emplace_back(before, &now);
    }
    LatencyCorrelation::Frames::value_type entry;
    entry.frameNumber = ++frameNumber_;
    if (int(pairs.size()) >= minimumFollowed) {
        double px = 0, py = 0, qx = 0, qy = 0;
        for (const auto& [p, q] : pairs) {
            px += p->x, py += p->y, qx += q->x, qy += q->y;
        }
        const double n = double(pairs.size());
        px /= n, py /= n, qx /= n, qy /= n;
        double cross = 0, dot = 0;
        for (const auto& [p, q] : pairs) {
            const double ax = p->x - px, ay = p->y - py, bx = q->x - qx, by = q->y - qy;
            cross += ax * by - ay * bx;
            dot += ax * bx + ay * by;
        }
        // The image angle atan2(y, x) is the horizontal angle about the renamed y axis.
        angle_ += std::atan2(cross, dot) * degreesPerRadian;
        const double a = angle_ / degreesPerRadian;
        entry.rayCount = 1;
        entry.direction = {{float(std::sin(a)), 0.0f, float(std::cos(a))}};
    }
    frames_.push_back(entry);
    previous_.swap(current_);
    current_.clear();
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
}

void LagTracker::estimateSegment() {
    LatencyCorrelation::Gyroscope gyroscope = gyroscopeList_;
    for (auto& g : gyroscope)
        g = zAsY(g);
    const LatencyCorrelation::Lag lag = LatencyCorrelation::estimateLag(gyroscope, frames_, timeline_);
    if (lag.found && lag.correlation >= minimumCorrelation_) {
        weightedMs_ += lag.milliseconds * double(lag.pairs);
        weightedCorrelation_ += lag.correlation * double(lag.pairs);
        pairs_ += int64_t(lag.pairs);
        ++segments_;
    }
    // The next stretch starts here; the rays followed carry over.
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
