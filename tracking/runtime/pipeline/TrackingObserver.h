#pragma once
// A passive watcher of one OrbTracking: the packets as the task receives them and the result
// of every optimiser batch. Unlike the debug hooks, which hand one run of a step to a waiting
// requester, an observer sees every event without anyone waiting, so it can keep figures over
// a whole session. It must be cheap: its device-side calls run once per inertial sample.
//
// Threads: the stream calls (frameBegan to invalidSequence) come from the device-network
// thread, one at a time and in packet order; batchProcessed comes from the optimisation
// thread. An implementation that is also read elsewhere guards its own state.

#include <cstdint>
#include <vector>

#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/optimizer/OptimizerState.h"
#include "tracking/runtime/stream/OpticFrame.h"

namespace Kestrel::Orb::Tracking {

// What the optimiser did with one batch of frames.
struct BatchObservation {
    const OpticFrame* newest = nullptr;  // the newest frame of the batch, rays with their marker indices
    const OptimizerState* state = nullptr;  // the pose at the newest frame, after the optimisation
    const std::vector<KestrelMath::vector<float, 3>>* markers = nullptr;  // the environment's markers
    float xi = 0;                 // the camera model's parameter, for projecting markers
    bool ok = false;              // the optimisation succeeded (the tracking is in 6DoF)
    float quality = 0;            // the optimiser's quality value (0 when it did not run)
    int frames = 0;               // frames in the batch
    double matchingSeconds = 0;   // CPU-side wall time of matching and association
    double optimizingSeconds = 0; // wall time of the optimisation
};

// What the camera can see, in normalized image coordinates: the field of view's squared
// radius and the outline of the sensor's rows and columns (points in order around it; empty
// when unknown). Markers outside either are not expected in the image.
struct CameraView {
    float xi = 0;
    float maximumRadiusSquared = 1;
    std::vector<KestrelMath::vector<float, 2>> sensorOutline;
};

class TrackingObserver {
public:
    virtual ~TrackingObserver() = default;

    // Once, when the observer is attached, before any other call.
    virtual void cameraDescribed(const CameraView& /*view*/) {}

    // A new optical frame began (the previous one is complete); `stage` is the tracking stage
    // at that moment.
    virtual void frameBegan(int32_t stage) = 0;
    // A point of the current frame that survived undistortion: normalized image coordinates
    // and its decoded blob value; `inView` is false when it lies beyond the field of view.
    virtual void pointReceived(float x, float y, int32_t value, bool inView) = 0;
    // One gyroscope sample: the rotation during its interval, degrees about x, y, z;
    // `overflow` when an axis saturated.
    virtual void gyroscopeSample(const KestrelMath::vector3<float>& rotation, bool overflow) = 0;
    virtual void accelerometerSample() = 0;
    virtual void temperature(float celsius) = 0;
    // A delta point had no reference ("Invalid stream sequence"): the stream lost packets.
    virtual void invalidSequence() = 0;

    virtual void batchProcessed(const BatchObservation& batch) = 0;
};

} // namespace Kestrel::Orb::Tracking
