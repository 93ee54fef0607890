#pragma once
// The inertial state of one tracking task: the leap since the last frame boundary, the recent
// angular rate and the up collector, behind one mutex. Samples arrive on the device-network
// thread; readers on other threads use withLock. About 2 MB: create it on the heap.

#include <functional>
#include <mutex>

#include "tracking/runtime/inertial/AngularVelocityAverager.h"
#include "tracking/runtime/inertial/InertialLeap.h"
#include "tracking/runtime/inertial/LeapSummary.h"
#include "tracking/runtime/inertial/UpCollector.h"

namespace Kestrel::Orb::Tracking {

template <class T>
class InertialState {
public:
    using Vector = KestrelMath::vector<T, 3>;
    // Degrees to radians, as the tracker's firmware rounds it.
    static constexpr double degreesToRadians = 0.017453292;

    // What a frame boundary takes: the leap so far, the up direction, and whether the up
    // collector has seen enough samples (more than 499).
    struct TakenLeap {
        LeapSummary leap;
        Vector up;
        bool ready;
    };
    // Called at a frame boundary before the mutex is taken, with the live data.
    using Hook = std::function<void(const InertialLeap<T>&, const AngularVelocityAverager<T>&, const UpCollector<T>&)>;

    // A calibrated gyroscope sample: the rotation during one sample interval in degrees.
    void gyroscope(const KestrelMath::vector<float, 3>& degrees) {
        const Vector r{{T(degrees[0]) * T(degreesToRadians), T(degrees[1]) * T(degreesToRadians),
                        T(degrees[2]) * T(degreesToRadians)}};
        const auto q = KestrelMath::quaternion<T>::fromRotationVector(r);
        std::lock_guard<std::mutex> lock(mutex_);
        leap_.rotate(q);
        up_.rotate(q);
        averager_.push(r);
    }

    // A calibrated accelerometer sample, in g.
    void accelerometer(const KestrelMath::vector<float, 3>& g) {
        const Vector a{{T(g[0]), T(g[1]), T(g[2])}};
        std::lock_guard<std::mutex> lock(mutex_);
        leap_.accelerate(a);
        up_.accelerate(a);
    }

    // At a frame boundary: serves `hook`, then copies and resets the leap.
    TakenLeap takeLeap(const Hook& hook = nullptr) {
        if (hook)
            hook(leap_, averager_, up_);
        std::lock_guard<std::mutex> lock(mutex_);
        TakenLeap taken{LeapSummary::of(leap_), up_.up(), up_.ready()};
        leap_.reset();
        return taken;
    }

    // Mean angular velocity over `seconds` (radians per second, tracker frame).
    Vector angularVelocity(double seconds) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return averager_.average(seconds);
    }

    // Runs f(leap, averager, upCollector) under the mutex, for readers that must hold it while
    // they take further locks.
    template <class F>
    auto withLock(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(leap_, averager_, up_);
    }

private:
    mutable std::mutex mutex_;
    InertialLeap<T> leap_;
    AngularVelocityAverager<T> averager_;
    UpCollector<T> up_;
};

} // namespace Kestrel::Orb::Tracking
