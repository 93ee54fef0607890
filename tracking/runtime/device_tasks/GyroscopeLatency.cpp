#include "tracking/runtime/device_tasks/GyroscopeLatency.h"

#include "tracking/runtime/device_tasks/GrowOutsideLock.h"

namespace Kestrel::Orb::Tracking {

GyroscopeLatency::GyroscopeLatency(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network,
                                   DeviceNetwork::NodeHandle node)
    : Cotask(std::move(network), node) {}

GyroscopeLatency::GyroscopeLatency(const GeometrySettings& settings, float maximumViewAngle) {
    calibrate(settings, maximumViewAngle);
}

void GyroscopeLatency::startRecording() {
    std::lock_guard<std::mutex> lock(mutex_);
    frameCounter_ = 0;
    frameBegun_ = false;
    integrated_ = {};
    timeline_.starts.push_back({gyroscope_.size(), frames_.size()});
    recording_.store(true);
}

void GyroscopeLatency::stopRecording() {
    std::lock_guard<std::mutex> lock(mutex_);
    recording_.store(false);
}

void GyroscopeLatency::onGyroscope(const KestrelMath::vector3<float>& rotation) {
    if (!recording_.load())
        return;
    std::lock_guard<std::mutex> writing(appending_);
    growOutsideLock(gyroscope_, mutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!recording_.load())
        return;
    integrated_ += rotation;
    gyroscope_.push_back(integrated_);
}

void GyroscopeLatency::onFrame() {
    if (!recording_.load())
        return;
    std::lock_guard<std::mutex> writing(appending_);
    growOutsideLock(frames_, mutex_);
    growOutsideLock(timeline_.frameSample, mutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!recording_.load())
        return;
    FrameEntry entry;
    entry.frameNumber = frameCounter_ + 1;
    frames_.push_back(entry);
    timeline_.frameSample.push_back(gyroscope_.size());
    frameBegun_ = true;
}

void GyroscopeLatency::onRay(float x, float y, int32_t) {
    const KestrelMath::vector3<float> direction = unifiedRayDirection(x, y, xi());
    std::lock_guard<std::mutex> writing(appending_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!recording_.load() || !frameBegun_)
        return;
    FrameEntry& newest = frames_.back();
    newest.direction = direction;
    ++newest.rayCount;
}

} // namespace Kestrel::Orb::Tracking
