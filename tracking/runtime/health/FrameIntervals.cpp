#include "tracking/runtime/health/FrameIntervals.h"

#include <algorithm>
#include <cmath>

namespace Kestrel::Orb::Tracking::Health {

int FrameIntervals::mode() const {
    // Bin 0 (no sample at all) cannot be the usual interval of a tracker whose samples run.
    return int(std::max_element(histogram_.begin() + 1, histogram_.end()) - histogram_.begin());
}

FrameIntervals::Outcome FrameIntervals::add(int64_t samples) {
    samples = std::max<int64_t>(0, samples);
    ++histogram_[std::size_t(std::min<int64_t>(samples, longest))];
    if (usual_ == 0) {
        early_.push_back(samples);
        if (int(early_.size()) < warmUp)
            return {};
        usual_ = mode();
        Outcome total;
        for (int64_t s : early_) {
            const Outcome o = judge(s);
            total.lostFrames += o.lostFrames;
            total.missingSamples += o.missingSamples;
        }
        early_.clear();
        return total;
    }
    // The usual interval follows the histogram; it moves only when the frame rate changes.
    usual_ = mode();
    return judge(samples);
}

FrameIntervals::Outcome FrameIntervals::judge(int64_t samples) {
    Outcome outcome;
    const double m = usual_;
    const int64_t deficit = usual_ - samples;
    if (deficit >= std::max<int64_t>(2, usual_ / 4)) {
        openGap_ += deficit;
        outcome.missingSamples = deficit;
        return outcome;
    }
    if (openGap_ > 0) {
        ++gaps_;
        missingSamples_ += openGap_;
        longestGap_ = std::max(longestGap_, openGap_);
        openGap_ = 0;
    }
    if (double(samples) >= 1.5 * m) {
        outcome.lostFrames = std::llround(double(samples) / m) - 1;
        lostFrames_ += outcome.lostFrames;
        return outcome;
    }
    ++usualCount_;
    usualSum_ += double(samples);
    usualSquares_ += double(samples) * double(samples);
    return outcome;
}

double FrameIntervals::mean() const { return usualCount_ ? usualSum_ / double(usualCount_) : 0.0; }

double FrameIntervals::deviation() const {
    if (usualCount_ < 2)
        return 0.0;
    const double m = mean();
    return std::sqrt(std::max(0.0, usualSquares_ / double(usualCount_) - m * m));
}

} // namespace Kestrel::Orb::Tracking::Health
