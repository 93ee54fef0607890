#pragma once
// The optimisation side of one OrbTracking: the History, the marker list, and the per-batch
// work of matching rays to markers and optimising the pose, run by the "Tracking optimization
// thread". Only that thread touches the members below, except the debug hooks, which other
// threads request. The thread holds the context (and the context the shared state) by shared
// pointer, so that a tracking object released on that very thread can let it run out.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "interface_contract/Ref.h"
#include "tracking/environments/DebugHook.h"
#include "tracking/environments/EnvironmentInterfaces.h"
#include "tracking/runtime/pipeline/History.h"
#include "tracking/runtime/optimizer/OptimizerState.h"
#include "tracking/runtime/pipeline/SharedTrackingState.h"
#include "tracking/runtime/pipeline/TrackingObserver.h"

namespace Kestrel::Orb::Tracking {

using StateDelta = std::vector<float>;  // 12 entries, layout of PoseResidual.h

struct BatchResult {
    bool ok = false;
    float quality = 0;
};

class OptimizerContext {
public:
    using MarkerList = std::vector<Vec3f>;

    OptimizerContext(InterfaceContract::Ref<IEnvironment> environment, std::shared_ptr<SharedTrackingState> shared,
                     float xi);
    OptimizerContext(const OptimizerContext&) = delete;
    OptimizerContext& operator=(const OptimizerContext&) = delete;

    // The thread's body: names the thread, prepares, and processes batches until the shared
    // state's hand-off returns the stop signal.
    void run();
    // Asks whether the environment adapts and reads the markers of one that does not.
    void prepare();
    // The work of one batch of frames, oldest first. Called by the thread.
    BatchResult processBatch(std::vector<FrameRecord>& frames);

    const OptimizerState& state() const { return state_; }
    OptimizerState& state() { return state_; }
    const History& history() const { return history_; }
    History& history() { return history_; }
    const MarkerList& markers() const { return markers_; }
    bool sixDof() const { return sixDof_; }
    int lostCount() const { return lostCount_; }

    // Reports every batch to `observer` from now on (see OrbTracking::attachObserver); once.
    void attachObserver(std::shared_ptr<TrackingObserver> observer);

    DebugHook<const History&, const std::vector<HistoryMarker>&, float> historyHook;
    DebugHook<const OpticFrame&, const Vec3f&, const Quatf&> visualPositionHook;  // carried, not served
    DebugHook<const std::vector<Vec2f>&, const std::vector<Vec2f>&, const std::vector<MarkerIndex>&>
        matchProjectionsHook;  // carried, not served
    DebugHook<const OptimizerState&, const StateDelta&, const History&> optimizationHook;

private:
    void readMarkers();
    void addFrame(FrameRecord& frame);
    Vec3f cameraPosition() const;

    InterfaceContract::Ref<IEnvironment> environment_;
    InterfaceContract::Ref<IEnvironmentMutable> mutable_;
    std::shared_ptr<SharedTrackingState> shared_;
    const float xi_;
    MarkerList markers_;
    History history_;
    std::vector<HistoryMarker> previousEntries_, newestEntries_;
    OptimizerState state_{};
    bool sixDof_ = false;
    int lostCount_ = 0;
    int32_t lastRevision_ = -1;
    std::shared_ptr<TrackingObserver> observerOwner_;
    std::atomic<TrackingObserver*> observer_{nullptr};
};

} // namespace Kestrel::Orb::Tracking
