#pragma once
// MidSpaceCotask: a calibration aid that watches one light source while the tracker turns.
//
// Every accepted point is re-projected as if seen from the tracker's centre instead of the
// camera (reprojectToTrackerCentre). Frames with exactly one blob feed a point accumulator;
// the gyroscope feeds a gyroscope accumulator; the accelerometer feeds an up collector whose
// up direction, once it has more than 4000 samples, drives a turn counter: a pass is the up
// direction going from the (+x, +z) quadrant of the tracker frame to the (-x, -z) quadrant.
// The first pass starts the clock; each later one sets
//     turn rate = passes * 360 / (seconds since the first pass)    (degrees per second).
// So the tracker must turn about an axis perpendicular to gravity for passes to happen.
// Every frame sets the camera exposure to 100 (packet 9 of the tracking task).
//
// Accumulators (window pairs, see WindowPair.h; readers see the primary window):
//   points     1000 two-dimensional points (64-bit) with sums and sums of squares;
//   gyroscope  10000 samples (3 floats, degrees per sample interval) with sums.
// All state is guarded by the task's mutex. The accumulators are fixed arrays (about 2.2 MB),
// allocated once with the task in one block of their own so that the task object stays small.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tracking/runtime/stream/TrackingCotask.h"
#include "tracking/runtime/inertial/UpCollector.h"
#include "tracking/runtime/inertial/WindowPair.h"

namespace Kestrel::Orb::Tracking {

class MidSpaceCotask final : public Cotask {
public:
    using PointPair = WindowPair<double, 2, 1000, true>;
    using GyroscopePair = WindowPair<float, 3, 10000, false>;
    using Point = KestrelMath::vector2<float>;
    // Monotonic time in nanoseconds, read on the delivery thread when a pass completes.
    using Clock = std::function<int64_t()>;

    static constexpr float reprojectionRadius = 3.7f;   // lateral distance the ray is scaled to
    static constexpr float cameraOffset = 0.0162f;       // camera centre ahead of the tracker centre
    static constexpr int32_t exposure = 100;
    static constexpr uint64_t upSamplesBeforeTurns = 4000;
    static constexpr double degreesToRadians = 0.017453292;

    // The host's steady clock.
    static int64_t steadyClock();

    // Reads the tracker's calibration like every tracking cotask (see Cotask).
    MidSpaceCotask(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network, DeviceNetwork::NodeHandle node,
                   Clock clock = steadyClock);
    // With a given calibration and view angle (radians), for tools and tests that feed it.
    MidSpaceCotask(const GeometrySettings& settings, float maximumViewAngle, Clock clock = steadyClock);

    // The normalized image point (x, y) seen from the tracker's centre: its unit ray d scaled to
    // p = d * (3.7 / |(d_x, d_y)|), moved by the camera offset (p_z += 0.0162), and projected
    // back with the unified model: n = |p|, b = p_z / n + xi, e = |(p_x / n, p_y / n, b)|,
    // point = (p_x, p_y) / n / e, times 1 / (1 - (b / e)^2) when b / e < 0. A point on the
    // optical axis (no lateral part) stays at (0, 0), the limit of the formula.
    static Point reprojectToTrackerCentre(float x, float y, float xi);

    // What the viewer reads, all under the task's mutex.
    struct Accumulators {
        const PointPair& points;
        const GyroscopePair& gyroscope;
        const std::vector<Point>& previousFrame;  // re-projected points of the last complete frame
    };
    template <class F>
    auto withAccumulators(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(Accumulators{windows_->points, windows_->gyroscope, previous_});
    }
    std::vector<Point> previousFrame() const;
    // Degrees per second; 0 until the second pass.
    double turnRate() const;
    // -1 before the first pass.
    int32_t passes() const;
    // The up direction of the collector (tracker frame, zero while it has nothing).
    KestrelMath::vector3<double> up() const;

protected:
    void onAccelerometer(const KestrelMath::vector3<float>& acceleration) override;
    void onGyroscope(const KestrelMath::vector3<float>& rotation) override;
    void onFrame() override;
    void onRay(float x, float y, int32_t value) override;

private:
    Clock clock_;
    mutable std::mutex mutex_;
    std::vector<Point> current_, previous_;
    struct Windows {
        PointPair points;
        GyroscopePair gyroscope;
        UpCollector<double> upCollector;
    };
    std::unique_ptr<Windows> windows_ = std::make_unique<Windows>();
    // Turn counter.
    int32_t passes_ = -1;
    bool armed_ = false;
    int64_t startTime_ = 0;
    double turnRate_ = 0;
    uint64_t turnSamples_ = 0;  // up-direction samples since the last rate update
};

} // namespace Kestrel::Orb::Tracking
