#include "tracking/runtime/optimizer/OptimizerContext.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"
#include "tracking/runtime/pipeline/MarkerAssociation.h"
#include "tracking/runtime/optimizer/PoseMatchGate.h"
#include "tracking/runtime/optimizer/PoseOptimization.h"
#include "tracking/runtime/optimizer/PoseResidual.h"

namespace Kestrel::Orb::Tracking {

using InterfaceContract::check;
using InterfaceContract::inArray;
using InterfaceContract::outArray;

namespace {

void nameThisThread() {
#ifdef _WIN32
    // Looked up at run time: Windows has it from 10 (1607) on, and older headers lack it.
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll"))
        if (auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription"))))
            describe(GetCurrentThread(), L"Tracking optimization thread");
#else
    // Linux keeps 15 characters of a thread name.
    pthread_setname_np(pthread_self(), "Tracking optimi");
#endif
}

// Shortest arc turning `up` onto (0, 1, 0).
Quatf levelling(const Vec3f& up) { return Quatf{-up[2], 0.0f, up[0], 1.0f + up[1]}.normalized(); }

int countMarkers(const std::vector<MarkerIndex>& indices, std::size_t markerCount) {
    int n = 0;
    for (MarkerIndex index : indices)
        n += isMarker(index, markerCount);
    return n;
}

} // namespace

OptimizerContext::OptimizerContext(InterfaceContract::Ref<IEnvironment> environment,
                                   std::shared_ptr<SharedTrackingState> shared, float xi)
    : environment_(std::move(environment)), shared_(std::move(shared)), xi_(xi) {
    state_.rotation = Quatf::identity();
}

void OptimizerContext::attachObserver(std::shared_ptr<TrackingObserver> observer) {
    if (observerOwner_)
        throw std::logic_error("OptimizerContext::attachObserver(): an observer is attached already");
    observerOwner_ = std::move(observer);
    observer_.store(observerOwner_.get(), std::memory_order_release);
}

void OptimizerContext::readMarkers() {
    MarkerList markers;
    InterfaceContract::OutArray out = outArray(markers);
    check(environment_.get(), environment_->markerPositions(&out));
    markers_ = std::move(markers);
}

void OptimizerContext::prepare() {
    Boolean adaptive = InterfaceContract::BooleanFalse;
    check(environment_.get(), environment_->isAdaptive(&adaptive));
    if (adaptive)
        mutable_ = environment_.query<IEnvironmentMutable>();
    if (!mutable_)
        readMarkers();
}

void OptimizerContext::run() {
    nameThisThread();
    BatchResult result;
    std::vector<FrameRecord> frames;
    try {
        prepare();
    } catch (const std::exception& e) {
        logLine() << "Tracking optimization: " << e.what();
    }
    while (shared_->handOff(result.ok, result.quality, state_, frames)) {
        // An environment failure costs this batch, not the thread: the stop frame must still
        // be seen so that the task can end.
        try {
            result = processBatch(frames);
        } catch (const std::exception& e) {
            logLine() << "Tracking optimization: " << e.what();
            result = BatchResult{};
            sixDof_ = false;
        }
    }
}

Vec3f OptimizerContext::cameraPosition() const {
    return state_.position + state_.rotation.rotate(Vec3f{{0.0f, 0.0f, float(Tracking::cameraOffset)}});
}

BatchResult OptimizerContext::processBatch(std::vector<FrameRecord>& frames) {
    if (frames.empty())
        return {};
    if (mutable_) {
        const FrameRecord& newest = frames.back();
        std::vector<EnvironmentUpdateRay> rays;
        rays.reserve(newest.frame.rays.size());
        for (const Ray& ray : newest.frame.rays) {
            EnvironmentUpdateRay update{};
            update.value = int32_t(std::lround(ray.value * 256.0f));
            update.direction = ray.direction;
            update.imagePoint = ray.point;
            std::copy(ray.projectionDerivative, ray.projectionDerivative + 6, update.projectionDerivative);
            rays.push_back(update);
        }
        InterfaceContract::InArray in = inArray(rays);
        Boolean changed = InterfaceContract::BooleanFalse;
        check(mutable_.get(), mutable_->update(&in, xi_, &newest.frame.up, &changed));
        int32_t revision = -1;
        check(mutable_.get(), mutable_->revision(&revision));
        if (revision != lastRevision_) {
            lastRevision_ = revision;
            if (revision >= 0)
                readMarkers();
        }
        if (revision < 0) {
            for (FrameRecord& frame : frames)
                history_.add(std::move(frame));
            return {};
        }
    }

    TrackingObserver* observer = observer_.load(std::memory_order_acquire);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point matchingStart = observer ? Clock::now() : Clock::time_point{};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        addFrame(frames[i]);
        if (i + 1 < frames.size())
            propagate(state_, history_.fromNewest(0).leap);
    }

    const auto& newestRays = history_.fromNewest(0).frame.rays;
    const bool anyMatched = std::any_of(newestRays.begin(), newestRays.end(),
                                        [&](const Ray& ray) { return isMarker(ray.markerIndex, markers_.size()); });
    lostCount_ = anyMatched ? 0 : lostCount_ + 1;
    const Clock::time_point optimizingStart = observer ? Clock::now() : Clock::time_point{};
    OptimizeResult result;
    if (lostCount_ <= 3)
        result = optimize(history_, markers_, xi_, state_);
    if (observer) {
        BatchObservation batch;
        batch.newest = &history_.fromNewest(0).frame;
        batch.state = &state_;
        batch.markers = &markers_;
        batch.xi = xi_;
        batch.ok = result.ok;
        batch.quality = float(result.quality);
        batch.frames = int(frames.size());
        batch.matchingSeconds = std::chrono::duration<double>(optimizingStart - matchingStart).count();
        batch.optimizingSeconds = std::chrono::duration<double>(Clock::now() - optimizingStart).count();
        observer->batchProcessed(batch);
    }
    StateDelta delta(12, 0.0f);
    for (int k = 0; k < 12; ++k)
        delta[k] = float(result.delta[k]);
    optimizationHook.serve(state_, delta, history_);
    sixDof_ = result.ok;
    propagate(state_, history_.fromNewest(0).leap);
    return {result.ok, result.quality};
}

void OptimizerContext::addFrame(FrameRecord& record) {
    bool retry3Dof = false;
    if (history_.count() > 0) {
        int byOrientation = 0, unmatched = 0;
        for (const Ray& ray : history_.fromNewest(0).frame.rays) {
            const bool matched = isMarker(ray.markerIndex, markers_.size());
            byOrientation += matched && ray.matchedByOrientation;
            unmatched += !matched;
        }
        retry3Dof = byOrientation <= 2 && unmatched > 0;
    }
    history_.add(std::move(record));
    FrameRecord& frame = history_.fromNewest(0);
    std::vector<Ray>& rays = frame.frame.rays;
    const std::size_t n = rays.size();

    bool orientationMatched = false;
    std::vector<MarkerIndex> orientationIndices;
    Pose orientationPose{};
    Quatf level = Quatf::identity();
    if (!sixDof_ || retry3Dof) {
        level = levelling(frame.frame.up);
        std::vector<Vec3f> levelled;
        levelled.reserve(n);
        for (const Ray& ray : rays)
            levelled.push_back(level.rotate(ray.direction));
        InterfaceContract::InArray in = inArray(levelled);
        InterfaceContract::OutArray out = outArray(orientationIndices);
        Boolean found = InterfaceContract::BooleanFalse;
        check(environment_.get(), environment_->matchRays(&in, &found, &out, &orientationPose));
        if (found) {
            orientationMatched = true;
            orientationIndices.resize(n, -1);
            for (std::size_t k = 0; k < n; ++k) {
                rays[k].markerIndex = orientationIndices[k];
                rays[k].matchedByOrientation = 1;
            }
        }
    }

    std::vector<MarkerIndex> poseIndices;
    if (sixDof_) {
        std::vector<Vec3f> world;
        world.reserve(n);
        for (const Ray& ray : rays)
            world.push_back(state_.rotation.rotate(ray.direction));
        const Vec3f origin = cameraPosition();
        InterfaceContract::InArray in = inArray(world);
        InterfaceContract::OutArray out = outArray(poseIndices);
        check(environment_.get(), environment_->matchNearPosition(&in, &origin, &out));
        poseIndices.resize(n, -1);
        refuseDistantMatches(world, origin, markers_, poseIndices);
    }

    auto keepPoseIndices = [&] {
        for (std::size_t k = 0; k < n; ++k) {
            rays[k].markerIndex = poseIndices[k];
            rays[k].matchedByOrientation = 0;
        }
    };
    if (orientationMatched && sixDof_ &&
        countMarkers(poseIndices, markers_.size()) >= countMarkers(orientationIndices, markers_.size())) {
        keepPoseIndices();
    } else if (orientationMatched) {
        sixDof_ = false;
        state_.position = orientationPose.position;
        state_.rotation = (orientationPose.rotation * level).normalized();
        state_.velocity = {{0.0f, 0.0f, 0.0f}};
    } else if (sixDof_) {
        keepPoseIndices();
    }

    associate(history_, markers_, state_, previousEntries_, newestEntries_);
    historyHook.serve(history_, newestEntries_, 0.01f);
    std::swap(previousEntries_, newestEntries_);
}

} // namespace Kestrel::Orb::Tracking
