#pragma once
// The recent angular rate: a ring of the last 128 gyroscope increments (radians per sample).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/inertial/InertialLeap.h"

namespace Kestrel::Orb::Tracking {

template <class T>
class AngularVelocityAverager {
public:
    using Vector = KestrelMath::vector<T, 3>;
    static constexpr std::size_t capacity = 128;

    void push(const Vector& increment) {
        ring_[next_] = increment;
        next_ = (next_ + 1) % capacity;
    }

    // The number of increments averaged over `seconds`: seconds * 2000 to the nearest integer,
    // limited to 1..128 (a negative or NaN time averages one increment).
    static std::size_t sampleCount(double seconds) {
        double clamped = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, 1.0);
        double n = std::round(clamped / inertialSampleInterval);
        return std::clamp<std::size_t>(std::size_t(n), 1, capacity);
    }

    // Mean angular velocity over the newest sampleCount(seconds) increments, in radians per
    // second in the tracker frame.
    Vector average(double seconds) const {
        const std::size_t n = sampleCount(seconds);
        Vector sum{};
        for (std::size_t k = 0; k < n; ++k)
            sum += ring_[(next_ + capacity - 1 - k) % capacity];
        return sum * T(1.0 / inertialSampleInterval / double(n));
    }

    // The increment written `age` samples ago (0 = newest).
    const Vector& recent(std::size_t age) const { return ring_[(next_ + capacity - 1 - age % capacity) % capacity]; }
    std::size_t writeIndex() const { return next_; }

private:
    std::array<Vector, capacity> ring_{};
    std::size_t next_ = 0;
};

} // namespace Kestrel::Orb::Tracking
