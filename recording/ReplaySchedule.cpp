#include "recording/ReplaySchedule.h"

#include <algorithm>
#include <sstream>

#include "interface_contract/DebugLog.h"
#include "recording/ReplayStart.h"

namespace Kestrel::Recording {

namespace {
constexpr uint8_t frameStartId = 0;
bool isDelta(uint8_t id) { return id >= 15 && id <= 25; }
} // namespace

ReplaySchedule::ReplaySchedule(std::shared_ptr<const Recording> recording, bool tracking)
    : recording_(std::move(recording)) {
    const auto& records = recording_->records;
    const size_t opticalStart = tracking ? firstSelfContainedFrame(records) : 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (r.direction != Direction::DeviceToHost)
            continue;
        if (i < opticalStart && isOpticalPacket(r.id)) {
            ++leftOut_;
            continue;
        }
        if (tracking && r.id == frameStartId) {
            frames_.push_back(played_.size());
            selfContained_.push_back(true);
        } else if (tracking && isDelta(r.id) && !selfContained_.empty()) {
            selfContained_.back() = false;
        }
        played_.push_back(i);
        duration_ = std::max(duration_, r.time + loopGap);
    }
    if (opticalStart < records.size())
        firstFrameTime_ = records[opticalStart].time;
}

size_t ReplaySchedule::frameEnd(size_t k) const { return k + 1 < frames_.size() ? frames_[k + 1] + 1 : played_.size(); }

long ReplaySchedule::frameAt(size_t position) const {
    if (frames_.empty())
        return -1;
    if (position >= played_.size())
        return long(frames_.size()) - 1;
    // Frame starts delivered before `position`; the last of them opened a frame still running.
    const long started = long(std::lower_bound(frames_.begin(), frames_.end(), position) - frames_.begin());
    return std::max(started - 2, -1L);
}

size_t ReplaySchedule::positionAfter(double time) const {
    size_t low = 0, high = played_.size();
    while (low < high) {
        const size_t mid = (low + high) / 2;
        if (record(mid).time <= time)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

std::string ReplaySchedule::leftOutLine(uint32_t node) const {
    if (leftOut_ == 0)
        return {};
    std::ostringstream line;
    if (frames_.empty())
        line << "Replay on node " << node << ": the recording holds no frame without deltas; its " << leftOut_
             << " optical packets are left out";
    else
        line << "Replay on node " << node << ": the recording began inside a run of delta frames; its first "
             << leftOut_ << " optical packets are left out, frames begin at " << firstFrameTime_ << " s";
    return line.str();
}

void HostPacketLog::packet(uint8_t id, size_t size, double time) {
    Seen& seen = seen_[id];
    ++seen.count;
    if (seen.count > 1 && time < seen.lastLine + 1.0)
        return;
    logLine() << "Replay on node " << node_ << ": host packet " << unsigned(id) << " (" << size
              << " bytes) accepted, not acted on"
              << (seen.count > 1 ? " (" + std::to_string(seen.count) + " since the last line)" : std::string());
    seen.count = 0;
    seen.lastLine = time;
}

} // namespace Kestrel::Recording
