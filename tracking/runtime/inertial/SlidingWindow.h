#pragma once
// A fixed-capacity sliding window of vectors with running per-axis sums (and, when asked for,
// sums of squares). The storage grows with the first N values and is then reused: once N values
// have arrived nothing is allocated per value, and a window that never fills never touches the
// memory of its whole capacity (the inertial windows hold 40000 values each).

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "interface_contract/KestrelMath.h"

namespace Kestrel::Orb::Tracking {

template <class T, std::size_t Dim, std::size_t N, bool KeepSquares>
class SlidingWindow {
public:
    using Value = KestrelMath::vector<T, Dim>;
    static constexpr std::size_t capacity = N;

    // Adds a value; when the window was full its oldest value drops out and is returned.
    std::optional<Value> push(const Value& value) {
        std::optional<Value> dropped;
        if (count_ == N) {
            dropped = values_[next_];
            for (std::size_t a = 0; a < Dim; ++a) {
                sums_[a] -= (*dropped)[a];
                if constexpr (KeepSquares)
                    squares_[a] -= (*dropped)[a] * (*dropped)[a];
            }
        } else {
            ++count_;
        }
        if (next_ < values_.size())
            values_[next_] = value;
        else
            values_.push_back(value);
        for (std::size_t a = 0; a < Dim; ++a) {
            sums_[a] += value[a];
            if constexpr (KeepSquares)
                squares_[a] += value[a] * value[a];
        }
        next_ = next_ + 1 == N ? 0 : next_ + 1;
        return dropped;
    }

    void clear() {
        count_ = 0;
        next_ = 0;
        sums_ = Value{};
        squares_ = Value{};
    }

    std::size_t count() const { return count_; }
    const Value& sums() const { return sums_; }
    const Value& sumsOfSquares() const {
        static_assert(KeepSquares, "this window keeps no sums of squares");
        return squares_;
    }
    // sum / n; zero for an empty window.
    Value mean() const { return count_ ? sums_ / T(count_) : Value{}; }
    // sum of squares / n minus the squared mean, per axis; negative rounding taken as 0.
    Value variance() const {
        static_assert(KeepSquares, "this window keeps no sums of squares");
        Value result{};
        if (!count_)
            return result;
        for (std::size_t a = 0; a < Dim; ++a) {
            T mean = sums_[a] / T(count_);
            result[a] = std::max(T(0), squares_[a] / T(count_) - mean * mean);
        }
        return result;
    }
    // The i-th oldest value (0 = oldest), i < count().
    const Value& at(std::size_t i) const { return values_[(next_ + N - count_ + i) % N]; }

private:
    std::vector<Value> values_;  // index next_ is the next to write; at most N values
    std::size_t count_ = 0;
    std::size_t next_ = 0;
    Value sums_{};
    Value squares_{};
};

} // namespace Kestrel::Orb::Tracking
