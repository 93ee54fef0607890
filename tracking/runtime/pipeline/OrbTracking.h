#pragma once
// The host-side tracker: turns the tracking task's optical frames and inertial samples into
// a pose, with the optimisation running on a thread of its own.
//
// Threads: the device-network thread calls the Cotask operations (onRay, onFrame and the
// inertial samples); the optimisation thread works on the frames handed to it; any thread
// may read the state and request the debug hooks. The inertial mutex is always taken before
// the shared-state mutex.

#include <atomic>
#include <memory>
#include <thread>

#include "tracking/environments/DebugHook.h"
#include "tracking/environments/EnvironmentInterfaces.h"
#include "tracking/runtime/pipeline/ITrackingCotask.h"
#include "tracking/runtime/inertial/InertialState.h"
#include "tracking/runtime/optimizer/OptimizerContext.h"
#include "tracking/runtime/pipeline/SharedTrackingState.h"
#include "tracking/runtime/pipeline/TrackingObserver.h"
#include "tracking/runtime/stream/TrackingCotask.h"

namespace Kestrel::Orb::Tracking {

class OrbTracking : public Cotask, public InterfaceContract::Implements<ITrackingCotask> {
public:
    static constexpr int32_t initialRequestedExposure = 10;
    static constexpr int32_t initialAppliedExposure = 1;

    // Reads the tracker's calibration from `node` (see Cotask) and starts the optimisation.
    // Without an environment frames are ignored and the stage stays 0.
    OrbTracking(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network, DeviceNetwork::NodeHandle node,
                InterfaceContract::Ref<IEnvironment> environment, TrackingClock clock = steadyTrackingClock());
    // With a calibration given directly (tests, recordings).
    OrbTracking(const GeometrySettings& settings, float maximumViewAngle, InterfaceContract::Ref<IEnvironment> environment,
                TrackingClock clock = steadyTrackingClock());
    ~OrbTracking() override;

    // ICotask / ITrackingCotask
    ResultCode KESTREL_CALL isFinished(InterfaceContract::Boolean* finished) override;
    ResultCode KESTREL_CALL readExtrapolatedState(const Placement* placement, float seconds, State* state) override;
    ResultCode KESTREL_CALL readState(float averagingSeconds, State* state) override;

    State state(float averagingSeconds) const;
    State extrapolatedState(const Placement& placement, float seconds) const;

    // The exposure to send at the next frame boundary (retried there until it succeeds).
    void requestExposure(int32_t exposure) { requestedExposure_.store(exposure); }
    int32_t appliedExposure() const { return appliedExposure_.load(); }

    OptimizerContext& optimizer() { return *optimizer_; }
    // The context shared with the optimisation thread; holding it keeps its hooks alive.
    std::shared_ptr<OptimizerContext> sharedOptimizer() const { return optimizer_; }
    SharedTrackingState& sharedState() { return *shared_; }
    // The optimisation thread's id while it runs (tests, profiling).
    std::thread::native_handle_type optimizerThreadHandle() { return optimizerThread_.native_handle(); }

    // Lets `observer` watch this tracking from now on: the packets on the device-network thread
    // and the optimiser's batches on its thread. Attach it before the tracking task is started;
    // one observer per tracking, kept until the tracking and its optimiser are gone. A second
    // attach throws std::logic_error.
    void attachObserver(std::shared_ptr<TrackingObserver> observer);

    DebugHook<const OpticFrame&> opticsHook;
    DebugHook<const InertialLeap<double>&, const AngularVelocityAverager<double>&, const UpCollector<double>&> umiHook;

protected:
    void onAccelerometer(const KestrelMath::vector3<float>& acceleration) override;
    void onGyroscope(const KestrelMath::vector3<float>& rotation) override;
    void onFrame() override;
    void onRay(float x, float y, int32_t value) override;
    void onDeviceReleased() override;
    void onGyroscopeOverflow() override { gyroscopeOverflow_ = true; }
    void onTemperature(float celsius) override;
    void onInvalidSequence() override;

private:
    void startOptimizer(TrackingClock clock);
    CameraView cameraView() const;
    // Pushes the stop frame and ends the thread (detaching it when called on the thread).
    void stop();
    // The pose with everything integrated up to now, under both locks.
    PoseSnapshot currentPose(float averagingSeconds, KestrelMath::vector<float, 3>& angularVelocity) const;

    InterfaceContract::Ref<IEnvironment> environment_;
    std::unique_ptr<InertialState<double>> inertial_;
    std::shared_ptr<SharedTrackingState> shared_;
    std::shared_ptr<OptimizerContext> optimizer_;
    std::thread optimizerThread_;
    std::atomic<bool> stopped_{false};

    // Device-network thread only.
    OpticFrame current_;
    bool frameInProgress_ = false;
    int pointCount_ = 0;
    bool gyroscopeOverflow_ = false;
    std::shared_ptr<TrackingObserver> observerOwner_;
    std::atomic<TrackingObserver*> observer_{nullptr};
    std::atomic<int32_t> requestedExposure_{initialRequestedExposure};
    std::atomic<int32_t> appliedExposure_{initialAppliedExposure};
};

} // namespace Kestrel::Orb::Tracking
