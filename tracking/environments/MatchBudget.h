#pragma once
// The work one rigid matchRays call may do, so that a frame which cannot be identified gives up
// after a fixed amount of work whatever the layout and the rays (the groups of compatible bars
// a frame forms can grow exponentially with its bars).
//
// Work is counted in units of about a nanosecond of one core (measured on the development
// machine under load: a bar-detector pair costs 100 units, each point it tests 5), and every
// other costly step charges its units, estimated against those. A step
// whose cost is known beforehand asks for it first (`spend`) and is not run when the budget
// cannot pay. Bar detection learns its cost while it runs and records it afterwards
// (`record`); it is bounded per call by the rays it takes (at most 128, at most
// 100 * 8128 + 5 * 8128 * 126 units), which is the most a frame can run past its budget. An exhausted budget stays
// exhausted and the frame is not identified. Counting work instead of time keeps the outcome
// of a frame the same on every machine and under any load.

#include <cstdint>

namespace Kestrel::Orb::Tracking {

class MatchBudget {
public:
    // About 6 ms of one core; the costliest identified frame of the identification tests (an
    // 8 x 8 ceiling seen with noisy rays, found only on a tilted look) needs 4.5 million.
    static constexpr uint64_t defaultUnits = 6'000'000;

    explicit MatchBudget(uint64_t units = defaultUnits) : limit_(units) {}

    // Takes `units` when they fit; otherwise takes nothing, leaves the budget exhausted and
    // returns false (every later call returns false too).
    bool spend(uint64_t units) {
        if (exhausted_ || units > limit_ - spent_) {
            exhausted_ = true;
            return false;
        }
        spent_ += units;
        return true;
    }
    // Counts work already done; false (and exhausted from now on) when it went past the limit.
    bool record(uint64_t units) {
        spent_ += units;
        if (spent_ > limit_)
            exhausted_ = true;
        return !exhausted_;
    }
    bool exhausted() const { return exhausted_; }
    uint64_t spent() const { return spent_; }
    uint64_t limit() const { return limit_; }

private:
    uint64_t limit_;
    uint64_t spent_ = 0;
    bool exhausted_ = false;
};

} // namespace Kestrel::Orb::Tracking
