#pragma once
// Two sliding windows of capacity N fed with the same values, so that running sums never drift.
//
// Every value goes into both windows; the statistics and the dropped-out value are those of the
// primary. After each push, when the secondary holds N values, the primary is cleared and the
// two swap roles. So once N values have arrived the primary always holds exactly the last N
// values, and every running sum is rebuilt from empty every N values, which bounds the rounding
// drift of a long-running sliding sum.

#include "tracking/runtime/inertial/SlidingWindow.h"

namespace Kestrel::Orb::Tracking {

template <class T, std::size_t Dim, std::size_t N, bool KeepSquares>
class WindowPair {
public:
    using Window = SlidingWindow<T, Dim, N, KeepSquares>;
    using Value = typename Window::Value;
    static constexpr std::size_t capacity = N;

    // Pushes into both windows; returns the value that dropped out of the primary, if any.
    std::optional<Value> push(const Value& value) {
        std::optional<Value> dropped = windows_[primary_].push(value);
        windows_[1 - primary_].push(value);
        if (windows_[1 - primary_].count() == N) {
            windows_[primary_].clear();
            primary_ = 1 - primary_;
        }
        return dropped;
    }

    const Window& primary() const { return windows_[primary_]; }
    const Window& secondary() const { return windows_[1 - primary_]; }

    void clear() {
        windows_[0].clear();
        windows_[1].clear();
        primary_ = 0;
    }

private:
    Window windows_[2];
    int primary_ = 0;
};

} // namespace Kestrel::Orb::Tracking
