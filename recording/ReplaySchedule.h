#pragma once
// What a replay of one recording plays, worked out once: the device-to-host records in order
// (a tracking recording without the optical packets before its first self-contained frame,
// recording/ReplayStart.h), where each optical frame starts among them, and how long one pass
// lasts. The simulated network's replay and the program's replay source both play from it.
//
// Positions are indexes into `played`. A frame's run happens on the host when the next frame
// starts (the host closes a frame at the next frame start), so "frame k has run" means every
// played record up to and including the start of frame k + 1 has been delivered.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "recording/RecordingFormat.h"

namespace Kestrel::Recording {

class ReplaySchedule {
public:
    // The pause between the end of a looped pass and the next: one inertial sample period, so
    // that the repeated stream keeps its rhythm.
    static constexpr double loopGap = 0.0005;

    // `tracking` says whether the recording holds the tracking task's stream (whose optical
    // frames are found and whose leading delta frames are left out).
    ReplaySchedule(std::shared_ptr<const Recording> recording, bool tracking);

    const Recording& recording() const { return *recording_; }
    const std::shared_ptr<const Recording>& shared() const { return recording_; }
    size_t size() const { return played_.size(); }
    const Record& record(size_t position) const { return recording_->records[played_[position]]; }
    // Length of one pass in seconds (last played time plus loopGap); 0 when nothing is played.
    double duration() const { return duration_; }

    size_t frameCount() const { return frames_.size(); }
    // Position of the start of frame k.
    size_t frameStart(size_t k) const { return frames_[k]; }
    bool selfContained(size_t k) const { return selfContained_[k]; }
    // The position just past the record that closes frame k: the start of frame k + 1, or the
    // end of the pass for the last frame.
    size_t frameEnd(size_t k) const;
    // The latest frame that has run once every record before `position` is delivered; -1 when
    // none has. At the end of the pass, the last frame.
    long frameAt(size_t position) const;
    // Position of the first record due after `time` (seconds since the start of the pass).
    size_t positionAfter(double time) const;

    // Optical packets left out at the beginning of each pass.
    size_t leftOut() const { return leftOut_; }
    // The log line about the left-out packets for a replay on `node`, or empty.
    std::string leftOutLine(uint32_t node) const;

private:
    std::shared_ptr<const Recording> recording_;
    std::vector<size_t> played_;  // indexes into recording_->records
    std::vector<size_t> frames_;  // positions of frame starts
    std::vector<bool> selfContained_;
    double duration_ = 0;
    size_t leftOut_ = 0;
    double firstFrameTime_ = 0;
};

// The logging of host-to-device packets of a replayed task, which are accepted but not acted
// on: at most one line per packet id and second.
class HostPacketLog {
public:
    explicit HostPacketLog(uint32_t node) : node_(node) {}
    void packet(uint8_t id, size_t size, double time);

private:
    struct Seen {
        uint64_t count = 0;
        double lastLine = 0;
    };
    uint32_t node_;
    std::map<uint8_t, Seen> seen_;
};

} // namespace Kestrel::Recording
