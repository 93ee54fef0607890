#pragma once
// Frame intervals measured on the tracker's clock: the number of gyroscope samples between two
// frame starts. The usual interval M is the most frequent count so far. An interval of s
// samples is then
//   - a loss of round(s / M) - 1 frames when s >= 1.5 M (the frames between were not received);
//   - part of an inertial gap lacking M - s samples when M - s >= max(2, M / 4) (frames went
//     on while samples did not); successive such intervals make one gap;
//   - a usual interval otherwise, whose spread is the jitter.
// The first `warmUp` intervals are kept and judged once M is known.

#include <array>
#include <cstdint>
#include <vector>

namespace Kestrel::Orb::Tracking::Health {

class FrameIntervals {
public:
    static constexpr int warmUp = 32;
    static constexpr int longest = 1024;  // counts above this share its bin

    struct Outcome {
        int64_t lostFrames = 0;
        int64_t missingSamples = 0;  // inertial samples this interval lacked
    };

    // One interval of `samples` gyroscope samples; its outcome (for intervals judged now).
    Outcome add(int64_t samples);

    // The usual interval in samples (0 until known).
    int usual() const { return usual_; }
    int64_t lostFrames() const { return lostFrames_; }
    int64_t gaps() const { return gaps_ + (openGap_ > 0 ? 1 : 0); }
    int64_t missingSamples() const { return missingSamples_ + openGap_; }
    int64_t longestGapSamples() const { return longestGap_ > openGap_ ? longestGap_ : openGap_; }
    // Mean and standard deviation of the usual intervals, in samples.
    double mean() const;
    double deviation() const;

private:
    Outcome judge(int64_t samples);
    int mode() const;

    std::array<int64_t, longest + 1> histogram_{};
    std::vector<int64_t> early_;
    int usual_ = 0;
    int64_t lostFrames_ = 0, gaps_ = 0, missingSamples_ = 0, longestGap_ = 0, openGap_ = 0;
    int64_t usualCount_ = 0;
    double usualSum_ = 0, usualSquares_ = 0;
};

} // namespace Kestrel::Orb::Tracking::Health
