#include "tracking/runtime/pipeline/SharedTrackingState.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "interface_contract/DebugLog.h"

namespace Kestrel::Orb::Tracking {

using KestrelMath::quaternion;
using KestrelMath::vector;

const char* stageName(int32_t stage) {
    switch (stage) {
    case 0: return "InertialDataInitialization";
    case 1: return "Tracking3Dof";
    case 2: return "Tracking6Dof";
    case 3: return "TrackingBlind6Dof";
    default: return "";
    }
}

TrackingClock steadyTrackingClock() {
    return [] {
        return int64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
    };
}

SharedTrackingState::SharedTrackingState(TrackingClock clock) : clock_(std::move(clock)) {
    pose_.rotation = quaternion<float>::identity();
}

bool SharedTrackingState::initialise(const vector<float, 3>& up) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stage_ != 0)
        return false;
    // Shortest arc from u to (0, 1, 0): (-u_z, 0, u_x, 1 + u_y), normalised.
    pose_.rotation = quaternion<float>{-up[2], 0.0f, up[0], 1.0f + up[1]}.normalized();
    pose_.position = {{0.0f, 1.68f, 0.0f}};
    pose_.velocity = {{0.0f, 0.0f, 0.0f}};
    positionFor3Dof_ = pose_.position;
    stage_ = 1;
    return true;
}

void SharedTrackingState::push(FrameRecord frame) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.push_back(std::move(frame));
    }
    framesArrived_.notify_all();
}

bool SharedTrackingState::handOff(bool ok, float quality, OptimizerState& optimizerState,
                                  std::vector<FrameRecord>& frames) {
    std::unique_lock<std::mutex> lock(mutex_);
    frames.clear();
    if (ok) {
        stage_ = 2;
        stabilityValue_ = quality;
        pose_ = optimizerState;
        integrationIndex_ = 0;
    } else {
        if (stage_ == 2) {
            stage_ = 3;
            blindStart_ = clock_();
            blindDuration_ = std::min(1.0f, stabilityValue_) * 3.0f;
        }
        if (stage_ == 3) {
            const double elapsed = double(clock_() - blindStart_) * 1e-9;
            if (elapsed > blindDuration_) {
                stage_ = 1;
                stabilityValue_ = 0;
                positionFor3Dof_ = optimizerState.position;
                logLine() << "positionFor3Dof updated: " << positionFor3Dof_[0] << ' ' << positionFor3Dof_[1] << ' '
                          << positionFor3Dof_[2];
            } else {
                stabilityValue_ = float(1.0 - elapsed / blindDuration_);
            }
        }
        if (stage_ == 1) {
            optimizerState.position = positionFor3Dof_;
            optimizerState.velocity = {{0.0f, 0.0f, 0.0f}};
        }
    }

    optimizerWaiting_ = true;
    optimizerIdle_.notify_all();
    framesArrived_.wait(lock, [this] { return !pending_.empty(); });
    optimizerWaiting_ = false;
    if (std::any_of(pending_.begin(), pending_.end(),
                    [](const FrameRecord& f) { return std::isnan(f.leap.duration); }))
        return false;
    frames.swap(pending_);
    if (stage_ == 1) {
        for (std::size_t i = integrationIndex_; i < frames.size(); ++i) {
            // Tilt the rotation by a hundredth towards the measured up direction, then turn.
            const vector<float, 3> u = pose_.rotation.rotate(frames[i].frame.up);
            const quaternion<float> tilt = quaternion<float>{-0.01f * u[2], 0.0f, 0.01f * u[0], 1.0f}.normalized();
            pose_.rotation = ((tilt * pose_.rotation) * leapRotation(frames[i].leap)).normalized();
        }
        pose_.position = positionFor3Dof_;
        pose_.velocity = {{0.0f, 0.0f, 0.0f}};
    } else {
        for (std::size_t i = integrationIndex_; i < frames.size(); ++i)
            propagate(pose_, frames[i].leap);
    }
    integrationIndex_ = 0;
    return true;
}

PoseSnapshot SharedTrackingState::read() {
    std::lock_guard<std::mutex> lock(mutex_);
    integratePending(integrationIndex_);
    PoseSnapshot snapshot{pose_, stage_, stabilityValue_};
    if (stage_ == 1) {
        snapshot.pose.position = positionFor3Dof_;
        snapshot.pose.velocity = {{0.0f, 0.0f, 0.0f}};
    }
    return snapshot;
}

void SharedTrackingState::integratePending(std::size_t from) {
    for (std::size_t i = from; i < pending_.size(); ++i)
        if (!std::isnan(pending_[i].leap.duration))
            propagate(pose_, pending_[i].leap);
    integrationIndex_ = pending_.size();
}

bool SharedTrackingState::waitUntilOptimizerIdle(double timeoutSeconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    return optimizerIdle_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                   [this] { return optimizerWaiting_ && pending_.empty(); });
}

int32_t SharedTrackingState::stage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stage_;
}

float SharedTrackingState::stabilityValue() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stabilityValue_;
}

} // namespace Kestrel::Orb::Tracking
