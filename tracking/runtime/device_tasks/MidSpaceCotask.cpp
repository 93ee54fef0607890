#include "tracking/runtime/device_tasks/MidSpaceCotask.h"

#include <chrono>
#include <cmath>

namespace Kestrel::Orb::Tracking {

int64_t MidSpaceCotask::steadyClock() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

MidSpaceCotask::MidSpaceCotask(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network,
                               DeviceNetwork::NodeHandle node, Clock clock)
    : Cotask(std::move(network), node), clock_(std::move(clock)) {}

MidSpaceCotask::MidSpaceCotask(const GeometrySettings& settings, float maximumViewAngle, Clock clock)
    : clock_(std::move(clock)) {
    calibrate(settings, maximumViewAngle);
}

MidSpaceCotask::Point MidSpaceCotask::reprojectToTrackerCentre(float x, float y, float xi) {
    const KestrelMath::vector3<float> d = unifiedRayDirection(x, y, xi);
    const float lateral = std::sqrt(d.x() * d.x() + d.y() * d.y());
    if (lateral == 0.0f)
        return Point{};
    KestrelMath::vector3<float> p = d * (reprojectionRadius / lateral);
    p.z() += cameraOffset;
    const float n = KestrelMath::length(p);
    const float b = p.z() / n + xi;
    const float px = p.x() / n, py = p.y() / n;
    const float e = std::sqrt(px * px + py * py + b * b);
    Point point{{px / e, py / e}};
    const float c = b / e;
    if (c < 0.0f)
        point *= 1.0f / (1.0f - c * c);
    return point;
}

void MidSpaceCotask::onAccelerometer(const KestrelMath::vector3<float>& a) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_->upCollector.accelerate(KestrelMath::vector3<double>{{a.x(), a.y(), a.z()}});
    if (windows_->upCollector.sampleCount() <= upSamplesBeforeTurns)
        return;
    const KestrelMath::vector3<double> u = windows_->upCollector.up();
    ++turnSamples_;
    if (u.x() > 0 && u.z() > 0) {
        armed_ = true;
    } else if (u.x() < 0 && u.z() < 0 && armed_) {
        armed_ = false;
        const int32_t before = passes_++;
        if (before == -1) {
            startTime_ = clock_();
        } else {
            const double seconds = double(clock_() - startTime_) * 1e-9;
            turnRate_ = double(passes_) * 360.0 / seconds;
            turnSamples_ = 0;
        }
    }
}

void MidSpaceCotask::onGyroscope(const KestrelMath::vector3<float>& g) {
    const KestrelMath::vector3<double> r{{double(g.x()) * degreesToRadians, double(g.y()) * degreesToRadians,
                                          double(g.z()) * degreesToRadians}};
    const auto q = KestrelMath::quaternion<double>::fromRotationVector(r);
    std::lock_guard<std::mutex> lock(mutex_);
    windows_->upCollector.rotate(q);
    windows_->gyroscope.push(g);
}

void MidSpaceCotask::onRay(float x, float y, int32_t) {
    const Point point = reprojectToTrackerCentre(x, y, this->xi());
    std::lock_guard<std::mutex> lock(mutex_);
    current_.push_back(point);
}

void MidSpaceCotask::onFrame() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (previous_.size() == 1)
            windows_->points.push(KestrelMath::vector2<double>{{previous_[0].x(), previous_[0].y()}});
        previous_.swap(current_);
        current_.clear();
    }
    sendExposure(exposure);
}

std::vector<MidSpaceCotask::Point> MidSpaceCotask::previousFrame() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return previous_;
}

double MidSpaceCotask::turnRate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return turnRate_;
}

int32_t MidSpaceCotask::passes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return passes_;
}

KestrelMath::vector3<double> MidSpaceCotask::up() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return windows_->upCollector.up();
}

} // namespace Kestrel::Orb::Tracking
