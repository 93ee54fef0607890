#pragma once
// GyroscopeLatency: records, side by side, the integrated gyroscope rotation and the ray of a
// light blob per optical frame, so that the two time series can be compared for the lead or
// lag of the inertial data. It runs the tracking task and does no tracking; it records only
// between startRecording() and stopRecording(). The viewer class
// TaskViewer_OrbTracking_GyroscopeLatency names it as its nested task type.
//
// While recording:
//   gyroscope sample g   integrated rotation += g (degrees), appended to the gyroscope list;
//   frame begin          a frame entry {0 rays, direction (0, 0, 0), frame counter + 1};
//   accepted point       only once this recording has a frame entry: the unit ray of the point replaces
//                        the newest entry's direction and its ray count goes up by one.
// The lists are kept across recordings; a new recording restarts the integration at 0 and the
// frame counter at 0. Accelerometer samples are ignored.
//
// Beside the two lists the task keeps a timeline that puts the frames on the gyroscope's
// sample axis: for every frame entry the number of gyroscope entries recorded before it began
// (packets of one task arrive in the order the tracker produced them, so the gyroscope entry
// just before a frame holds the rotation at that frame's time), and where each recording
// starts in both lists.

#include <atomic>
#include <mutex>
#include <vector>

#include "tracking/runtime/stream/TrackingCotask.h"

namespace Kestrel::Orb::Tracking {

class GyroscopeLatency final : public Cotask {
public:
    struct FrameEntry {
        int32_t rayCount = 0;
        KestrelMath::vector3<float> direction{};  // unit ray of the frame's last accepted point
        int32_t frameNumber = 0;
    };
    static_assert(sizeof(FrameEntry) == 20, "a frame entry is 20 bytes");

    struct RecordingStart {
        size_t gyroscope = 0;  // size of the gyroscope list when the recording began
        size_t frames = 0;     // size of the frame list when the recording began
    };
    struct Timeline {
        std::vector<size_t> frameSample;      // per frame entry: gyroscope entries before it
        std::vector<RecordingStart> starts;   // one per recording, in order
    };

    // Reads the tracker's calibration like every tracking cotask (see Cotask).
    GyroscopeLatency(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network, DeviceNetwork::NodeHandle node);

    // Frame counter 0, integrated rotation (0, 0, 0), recording on.
    void startRecording();
    void stopRecording();
    bool recording() const { return recording_.load(); }

    // Runs f(gyroscopeList, frameList) under the task's mutex; the lists must not be kept
    // beyond the call.
    template <class F>
    auto withRecordings(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const std::vector<KestrelMath::vector3<float>>&>(gyroscope_),
                 static_cast<const std::vector<FrameEntry>&>(frames_));
    }
    // Runs f(gyroscopeList, frameList, timeline) under the task's mutex.
    template <class F>
    auto withTimeline(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const std::vector<KestrelMath::vector3<float>>&>(gyroscope_),
                 static_cast<const std::vector<FrameEntry>&>(frames_), static_cast<const Timeline&>(timeline_));
    }
    // The mutex that guards the lists, for readers that hold it across several reads.
    std::mutex& mutex() const { return mutex_; }
    // Only under mutex().
    const std::vector<KestrelMath::vector3<float>>& gyroscopeList() const { return gyroscope_; }
    const std::vector<FrameEntry>& frameList() const { return frames_; }

    // A task with the given calibration and view angle (radians), read from nowhere; for tools
    // and tests that feed it themselves.
    GyroscopeLatency(const GeometrySettings& settings, float maximumViewAngle);

protected:
    void onAccelerometer(const KestrelMath::vector3<float>&) override {}
    void onGyroscope(const KestrelMath::vector3<float>& rotation) override;
    void onFrame() override;
    void onRay(float x, float y, int32_t value) override;

private:
    mutable std::mutex mutex_;
    // Taken by the writers of the lists before mutex_: a full list grows into a larger copy
    // without mutex_ (GrowOutsideLock.h), so that readers never wait for that copy.
    std::mutex appending_;
    std::atomic<bool> recording_{false};
    int32_t frameCounter_ = 0;                     // under mutex_
    bool frameBegun_ = false;                      // under mutex_: this recording has a frame
    KestrelMath::vector3<float> integrated_{};     // under mutex_
    std::vector<KestrelMath::vector3<float>> gyroscope_;
    std::vector<FrameEntry> frames_;
    Timeline timeline_;
};

} // namespace Kestrel::Orb::Tracking
