#pragma once
// The figures of SessionHealth as they accumulate, without a lock: SessionHealth feeds it
// under its mutex and asks it for a report. Session time comes with each frame start.

#include <cstdint>
#include <vector>

#include "tracking/runtime/health/FrameIntervals.h"
#include "tracking/runtime/health/HealthReport.h"
#include "tracking/runtime/health/HealthSettings.h"
#include "tracking/runtime/health/LagTracker.h"
#include "tracking/runtime/health/StrayClusters.h"
#include "tracking/runtime/health/ViewTest.h"
#include "tracking/runtime/pipeline/TrackingObserver.h"

namespace Kestrel::Orb::Tracking::Health {

class SessionRecorder {
public:
    explicit SessionRecorder(const HealthSettings& settings);

    void cameraDescribed(const CameraView& view);
    void frameBegan(double time, int32_t stage);
    void pointReceived(float x, float y, int32_t value, bool inView);
    void gyroscopeSample(const KestrelMath::vector3<float>& rotation, bool overflow);
    void accelerometerSample() { ++accelerometerSamples_; }
    void temperature(float celsius);
    void invalidSequence();
    void batchProcessed(const BatchObservation& batch);

    // Everything but the findings.
    HealthReport report() const;

private:
    // Per window, and the running figures of the current one.
    struct Window {
        HealthWindow figures;
        int64_t points = 0;
        double valueSum = 0;
        int64_t okBatches = 0;
        double qualitySum = 0;
        int64_t sixDofFrames = 0, matchedRays = 0, unmatchedRays = 0;
    };
    Window& window();
    void enterWindow(double time);
    void markersOf(const BatchObservation& batch);
    void straysOf(const BatchObservation& batch);

    HealthSettings settings_;
    ViewTest view_;
    bool started_ = false;
    double startTime_ = 0, lastTime_ = 0;
    int32_t lastStage_ = 0;
    bool was6Dof_ = false, lost_ = false;
    int lastInView_ = 0;   // markers well in view at the last 6DoF batch
    int blindInView_ = 0;  // lastInView_ when the current blind period began

    // Optical.
    int64_t frames_ = 0, points_ = 0, inViewPoints_ = 0, saturated_ = 0, invalidSequences_ = 0;
    double valueSum_ = 0, valueMax_ = 0;
    int64_t samplesSinceFrame_ = 0;
    FrameIntervals intervals_;

    // Inertial.
    int64_t gyroscopeSamples_ = 0, accelerometerSamples_ = 0, overflows_ = 0;
    bool hasTemperature_ = false;
    double temperature_ = 0, temperatureMin_ = 0, temperatureMax_ = 0;

    // Pipeline.
    PipelineFigures pipeline_;
    double qualitySum_ = 0;
    std::vector<float> qualities_;
    double matchingSeconds_ = 0, optimizingSeconds_ = 0;
    int64_t matchedRays_ = 0, unmatchedRays_ = 0;
    double matchedValueSum_ = 0;

    // Markers and stray light.
    std::vector<MarkerFigures> markers_;
    std::vector<uint8_t> matchedNow_;
    double planeY_ = 0;
    StrayClusters strays_;
    ImageHeatMap heatMap_;
    int64_t batchFrame_ = 0;

    LagTracker lag_;
    std::vector<Window> windows_;
};

} // namespace Kestrel::Orb::Tracking::Health
