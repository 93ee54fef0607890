#pragma once
// SessionHealth: watches one tracking session as an OrbTracking's observer and keeps the
// figures of HealthReport over the session and in time windows; snapshot() returns them with
// the findings drawn from them.
//
//     auto health = std::make_shared<Health::SessionHealth>(clock);
//     tracking.attachObserver(health);      // before the tracking task is started
//     ...
//     Health::HealthReport report = health->snapshot();   // any thread, any time
//
// Clocks. The session's time (rates, windows, time in each stage) comes from `clock`, read
// once per optical frame. Frame intervals are measured on the tracker's own clock instead:
// the count of gyroscope samples between two frame starts. A frame interval of about k usual
// intervals lost k - 1 frames; one with far fewer samples than usual lies in an inertial gap.
// The host's arrival times jitter with the transport; the sample count does not.
//
// Threads: the stream calls come from the device-network thread, batchProcessed from the
// optimisation thread, snapshot() from any thread; one mutex guards the figures, held briefly.

#include <memory>
#include <mutex>
#include <vector>

#include "tracking/environments/MarkerTiles.h"
#include "tracking/runtime/health/HealthReport.h"
#include "tracking/runtime/health/HealthSettings.h"
#include "tracking/runtime/pipeline/SharedTrackingState.h"
#include "tracking/runtime/pipeline/TrackingObserver.h"

namespace Kestrel::Orb::Tracking::Health {

class SessionRecorder;

class SessionHealth final : public TrackingObserver {
public:
    explicit SessionHealth(TrackingClock clock, HealthSettings settings = {});
    ~SessionHealth() override;
    SessionHealth(const SessionHealth&) = delete;
    SessionHealth& operator=(const SessionHealth&) = delete;

    // The figures so far, the windows and the findings. A copy: safe while the feed goes on.
    HealthReport snapshot() const;
    // The tile of each marker's bar, in marker order (markerTiles() of the environment): marker
    // findings then name the tile. Without it (a layout without tiles) they give the position.
    void describeMarkerTiles(std::vector<TileCell> tiles);

    // TrackingObserver
    void cameraDescribed(const CameraView& view) override;
    void frameBegan(int32_t stage) override;
    void pointReceived(float x, float y, int32_t value, bool inView) override;
    void gyroscopeSample(const KestrelMath::vector3<float>& rotation, bool overflow) override;
    void accelerometerSample() override;
    void temperature(float celsius) override;
    void invalidSequence() override;
    void batchProcessed(const BatchObservation& batch) override;

private:
    mutable std::mutex mutex_;
    TrackingClock clock_;
    HealthSettings settings_;
    std::unique_ptr<SessionRecorder> recorder_;  // under mutex_
    std::vector<TileCell> tiles_;                // under mutex_
};

} // namespace Kestrel::Orb::Tracking::Health
