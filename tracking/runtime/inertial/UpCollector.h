#pragma once
// The direction of gravity, collected from the accelerometer in a frame that the gyroscope
// keeps still.
//
// Each sample a is rotated by the collector's own rotation (advanced by every gyroscope
// increment) into v and pushed into window pair A (100 samples). Once A is full, the value
// dropping out of A (the v of 100 samples earlier) goes into pair B (100 samples). Once B is
// full too, that value is weighted by 1 / max(1e-4, sigma), sigma the square root of the six
// per-axis variances of A and B, and pushed into pair C (40000 samples): every sample counts by
// the inverse spread of the 100 samples on each side of it. The up direction is C's mean
// rotated back into the tracker frame and normalised.
//
// The object holds about 2 MB of fixed arrays; create it on the heap.

#include <cmath>
#include <cstdint>

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/inertial/WindowPair.h"

namespace Kestrel::Orb::Tracking {

template <class T>
class UpCollector {
public:
    using Vector = KestrelMath::vector<T, 3>;
    using NeighbourhoodPair = WindowPair<T, 3, 100, true>;
    using WeightedPair = WindowPair<T, 3, 40000, false>;

    // More samples than this are needed before the up direction is used for tracking.
    static constexpr uint64_t readyAfter = 499;

    void rotate(const KestrelMath::quaternion<T>& q) { rotation_ = rotation_ * q; }

    void accelerate(const Vector& acceleration) {
        const Vector v = rotation_.rotate(acceleration);
        const bool aWasFull = a_.primary().count() == NeighbourhoodPair::capacity;
        const auto dropped = a_.push(v);
        if (aWasFull && dropped) {
            b_.push(*dropped);
            if (b_.primary().count() == NeighbourhoodPair::capacity) {
                const Vector va = a_.primary().variance(), vb = b_.primary().variance();
                T spread = 0;
                for (int axis = 0; axis < 3; ++axis)
                    spread += va[axis] + vb[axis];
                const T sigma = std::sqrt(spread);
                const T weight = T(1) / std::max(T(1e-4), sigma);
                c_.push(*dropped * weight);
            }
        }
        ++count_;
    }

    // The up direction in the tracker frame; zero while pair C has received nothing.
    Vector up() const {
        const auto& window = c_.primary();
        if (window.count() == 0)
            return Vector{};
        const Vector mean = window.sums() / T(window.count());
        const Vector local = rotation_.conjugate().rotate(mean);
        const T norm = KestrelMath::length(local);
        return norm > T(0) ? local / norm : Vector{};
    }

    bool ready() const { return count_ > readyAfter; }
    uint64_t sampleCount() const { return count_; }
    const KestrelMath::quaternion<T>& rotation() const { return rotation_; }
    const NeighbourhoodPair& pairA() const { return a_; }
    const NeighbourhoodPair& pairB() const { return b_; }
    const WeightedPair& pairC() const { return c_; }

private:
    uint64_t count_ = 0;
    KestrelMath::quaternion<T> rotation_ = KestrelMath::quaternion<T>::identity();
    NeighbourhoodPair a_;
    NeighbourhoodPair b_;
    WeightedPair c_;
};

} // namespace Kestrel::Orb::Tracking
