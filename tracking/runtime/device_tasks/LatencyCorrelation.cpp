#include "tracking/runtime/device_tasks/LatencyCorrelation.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace LatencyCorrelation {

namespace {

constexpr double degreesPerRadian = 57.29577951308232;

double horizontalAngle(const KestrelMath::vector3<float>& direction) {
    return std::atan2(double(direction[0]), double(direction[2])) * degreesPerRadian;
}

// A difference of two angles brought into (-180, 180].
double wrapped(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees > 180.0)
        degrees -= 360.0;
    else if (degrees <= -180.0)
        degrees += 360.0;
    return degrees;
}

// Frames [firstFrame, endFrame) and gyroscope entries [firstSample, endSample) of one recording.
struct Span {
    size_t firstFrame = 0, endFrame = 0;
    long firstSample = 0, endSample = 0;
};
Span spanOf(const Gyroscope& gyroscope, const Frames& frames, const Timeline& timeline, size_t r) {
    const size_t count = std::min(frames.size(), timeline.frameSample.size());
    Span span;
    span.firstFrame = std::min(timeline.starts[r].frames, count);
    span.endFrame = r + 1 < timeline.starts.size() ? std::min(timeline.starts[r + 1].frames, count) : count;
    span.firstSample = long(std::min(timeline.starts[r].gyroscope, gyroscope.size()));
    span.endSample = r + 1 < timeline.starts.size() ? long(std::min(timeline.starts[r + 1].gyroscope, gyroscope.size()))
                                                    : long(gyroscope.size());
    return span;
}

// Position of frame k on the sample axis: the last gyroscope entry before it (-1 when none).
long sampleOf(const Timeline& timeline, size_t k) { return long(timeline.frameSample[k]) - 1; }

double gyroscopeTurn(const Gyroscope& gyroscope, long from, long to) {
    return double(gyroscope[size_t(to)][1]) - double(gyroscope[size_t(from)][1]);
}

// Twice the largest gyroscope turn between two successive frames of the span, plus half a degree.
double stepLimit(const Gyroscope& gyroscope, const Timeline& timeline, const Span& span) {
    double largest = 0;
    for (size_t k = span.firstFrame + 1; k < span.endFrame; ++k) {
        const long from = sampleOf(timeline, k - 1), to = sampleOf(timeline, k);
        if (from >= span.firstSample && to < span.endSample && from < to)
            largest = std::max(largest, std::abs(gyroscopeTurn(gyroscope, from, to)));
    }
    return 2 * largest + 0.5;
}

// One frame with rays and the optical turn that led to it.
struct Step {
    size_t frame = 0;
    bool counted = false;  // the turn from the previous frame counts
    double turn = 0;       // degrees, with the sign of the gyroscope's rotation
};

std::vector<Step> stepsOf(const Gyroscope& gyroscope, const Frames& frames, const Timeline& timeline, const Span& span) {
    const double limit = stepLimit(gyroscope, timeline, span);
    std::vector<Step> steps;
    for (size_t k = span.firstFrame; k < span.endFrame; ++k) {
        if (frames[k].rayCount <= 0)
            continue;
        Step step;
        step.frame = k;
        if (k > span.firstFrame && frames[k - 1].rayCount == frames[k].rayCount) {
            const double turn = -wrapped(horizontalAngle(frames[k].direction) - horizontalAngle(frames[k - 1].direction));
            if (std::abs(turn) <= limit) {
                step.counted = true;
                step.turn = turn;
            }
        }
        steps.push_back(step);
    }
    return steps;
}

// Correlation coefficient of the pairs (a, b); nothing when either side does not vary by more
// than a thousandth of a degree (float rounding alone gives a few millionths).
class Correlation {
public:
    void add(double a, double b) {
        ++n_;
        sa_ += a, sb_ += b, saa_ += a * a, sbb_ += b * b, sab_ += a * b;
    }
    size_t count() const { return n_; }
    std::optional<double> value() const {
        if (n_ < 2)
            return std::nullopt;
        const double n = double(n_);
        const double va = saa_ - sa_ * sa_ / n, vb = sbb_ - sb_ * sb_ / n;
        if (!(va / n > 1e-6) || !(vb / n > 1e-6))
            return std::nullopt;
        return (sab_ - sa_ * sb_ / n) / std::sqrt(va * vb);
    }

private:
    size_t n_ = 0;
    double sa_ = 0, sb_ = 0, saa_ = 0, sbb_ = 0, sab_ = 0;
};

} // namespace

std::vector<OpticalRun> opticalCurve(const Gyroscope& gyroscope, const Frames& frames, const Timeline& timeline) {
    std::vector<OpticalRun> runs;
    for (size_t r = 0; r < timeline.starts.size(); ++r) {
        const Span span = spanOf(gyroscope, frames, timeline, r);
        double level = 0;
        OpticalRun run;
        for (const Step& step : stepsOf(gyroscope, frames, timeline, span)) {
            if (!step.counted && !run.empty()) {
                runs.push_back(std::move(run));
                run.clear();
            }
            level += step.turn;
            run.push_back({step.frame, double(sampleOf(timeline, step.frame)), level});
        }
        if (!run.empty())
            runs.push_back(std::move(run));
    }
    return runs;
}

Lag estimateLag(const Gyroscope& gyroscope, const Frames& frames, const Timeline& timeline,
                double maximumMilliseconds, size_t minimumPairs) {
    Lag lag;
    if (timeline.starts.empty())
        return lag;
    const Span span = spanOf(gyroscope, frames, timeline, timeline.starts.size() - 1);
    struct Pair {
        long from, to;  // sample positions of the two frames
        double turn;
    };
    std::vector<Pair> pairs;
    for (const Step& step : stepsOf(gyroscope, frames, timeline, span))
        if (step.counted)
            pairs.push_back({sampleOf(timeline, step.frame - 1), sampleOf(timeline, step.frame), step.turn});

    const long reach = long(std::floor(maximumMilliseconds / 1000.0 * samplesPerSecond));
    std::vector<std::optional<double>> score(size_t(2 * reach + 1));
    std::vector<size_t> used(score.size(), 0);
    long best = 0;
    bool any = false;
    for (long shift = -reach; shift <= reach; ++shift) {
        Correlation c;
        for (const Pair& p : pairs) {
            const long from = p.from + shift, to = p.to + shift;
            if (from >= span.firstSample && to < span.endSample && from < to)
                c.add(p.turn, gyroscopeTurn(gyroscope, from, to));
        }
        const size_t slot = size_t(shift + reach);
        used[slot] = c.count();
        if (c.count() < minimumPairs)
            continue;
        score[slot] = c.value();
        if (score[slot] && (!any || *score[slot] > *score[size_t(best + reach)])) {
            best = shift;
            any = true;
        }
    }
    if (!any)
        return lag;

    const size_t slot = size_t(best + reach);
    double refined = double(best);
    if (slot > 0 && slot + 1 < score.size() && score[slot - 1] && score[slot + 1]) {
        // Vertex of the parabola through the best score and its two neighbours.
        const double left = *score[slot - 1], centre = *score[slot], right = *score[slot + 1];
        const double curvature = left - 2 * centre + right;
        if (curvature < 0)
            refined += std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
    }
    lag.found = true;
    lag.milliseconds = refined / samplesPerSecond * 1000.0;
    lag.correlation = *score[slot];
    lag.pairs = used[slot];
    return lag;
}

} // namespace LatencyCorrelation
