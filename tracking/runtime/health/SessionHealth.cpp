#include "tracking/runtime/health/SessionHealth.h"

#include <stdexcept>

#include "tracking/runtime/health/HealthFindings.h"
#include "tracking/runtime/health/SessionRecorder.h"

namespace Kestrel::Orb::Tracking::Health {

SessionHealth::SessionHealth(TrackingClock clock, HealthSettings settings)
    : clock_(std::move(clock)), settings_(settings), recorder_(std::make_unique<SessionRecorder>(settings)) {
    if (!clock_)
        throw std::invalid_argument("SessionHealth: no clock");
}

SessionHealth::~SessionHealth() = default;

HealthReport SessionHealth::snapshot() const {
    HealthReport report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        report = recorder_->report();
        for (MarkerFigures& m : report.markers)
            if (m.index >= 0 && std::size_t(m.index) < tiles_.size()) {
                m.tileColumn = tiles_[std::size_t(m.index)].column;
                m.tileRow = tiles_[std::size_t(m.index)].row;
            }
    }
    report.findings = findingsOf(report, settings_);
    return report;
}

void SessionHealth::describeMarkerTiles(std::vector<TileCell> tiles) {
    std::lock_guard<std::mutex> lock(mutex_);
    tiles_ = std::move(tiles);
}

void SessionHealth::cameraDescribed(const CameraView& view) {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->cameraDescribed(view);
}

void SessionHealth::frameBegan(int32_t stage) {
    const double time = double(clock_()) * 1e-9;
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->frameBegan(time, stage);
}

void SessionHealth::pointReceived(float x, float y, int32_t value, bool inView) {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->pointReceived(x, y, value, inView);
}

void SessionHealth::gyroscopeSample(const KestrelMath::vector3<float>& rotation, bool overflow) {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->gyroscopeSample(rotation, overflow);
}

void SessionHealth::accelerometerSample() {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->accelerometerSample();
}

void SessionHealth::temperature(float celsius) {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->temperature(celsius);
}

void SessionHealth::invalidSequence() {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->invalidSequence();
}

void SessionHealth::batchProcessed(const BatchObservation& batch) {
    std::lock_guard<std::mutex> lock(mutex_);
    recorder_->batchProcessed(batch);
}

} // namespace Kestrel::Orb::Tracking::Health
