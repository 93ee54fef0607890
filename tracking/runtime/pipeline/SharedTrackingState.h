#pragma once
// The state the device-network thread, the optimisation thread and the readers share: the
// stage machine, the pose, and the frames waiting for the optimiser. One mutex guards it all;
// its condition variable wakes the optimiser when frames arrive. Whoever also needs the
// inertial state takes the inertial mutex first.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "tracking/runtime/stream/OpticFrame.h"
#include "tracking/runtime/optimizer/OptimizerState.h"
#include "tracking/runtime/pipeline/TrackingStage.h"

namespace Kestrel::Orb::Tracking {

// Monotonic time in nanoseconds; the blind period is timed with it.
using TrackingClock = std::function<int64_t()>;
TrackingClock steadyTrackingClock();

struct PoseSnapshot {
    OptimizerState pose;
    int32_t stage = 0;
    float stabilityValue = 0;
};

class SharedTrackingState {
public:
    explicit SharedTrackingState(TrackingClock clock = steadyTrackingClock());

    // Stage 0 to 1 at the first frame boundary with enough inertial data: the rotation that
    // turns the measured up direction onto +y, at (0, 1.68, 0), at rest. False when the stage
    // had already left 0.
    bool initialise(const KestrelMath::vector<float, 3>& up);

    // Queues a completed frame for the optimiser and wakes it.
    void push(FrameRecord frame);

    // The optimiser's side, after each batch: takes its result into the stage machine and the
    // pose, waits for frames, integrates the new ones into the pose and moves them to `frames`.
    // Returns false when a stop frame (NaN duration) is pending; `frames` is then empty.
    bool handOff(bool ok, float quality, OptimizerState& optimizerState, std::vector<FrameRecord>& frames);

    // The pose with the pending frames integrated (advancing the integration index), stage and
    // stability value. In stage 1 position is positionFor3Dof and velocity zero. The caller
    // applies the inertial leap accumulated since the last frame boundary.
    PoseSnapshot read();

    int32_t stage() const;
    float stabilityValue() const;

    // Waits until the optimiser has taken every queued frame and waits for more, or until
    // `timeoutSeconds` have passed; returns whether it is idle. Headless runs that advance a
    // simulated clock use it to let the optimiser keep pace as it would in real time.
    bool waitUntilOptimizerIdle(double timeoutSeconds);

private:
    void integratePending(std::size_t from);

    mutable std::mutex mutex_;
    std::condition_variable framesArrived_;
    std::condition_variable optimizerIdle_;
    bool optimizerWaiting_ = false;
    TrackingClock clock_;
    int32_t stage_ = 0;
    float stabilityValue_ = 0;
    float blindDuration_ = 3.0f;
    int64_t blindStart_ = 0;
    KestrelMath::vector<float, 3> positionFor3Dof_{};
    std::vector<FrameRecord> pending_;
    std::size_t integrationIndex_ = 0;
    OptimizerState pose_{};
};

} // namespace Kestrel::Orb::Tracking
