#include "device_simulator/ReplayWork.h"

#include <algorithm>
#include <map>

#include "device_simulator/TaskIds.h"
#include "interface_contract/DebugLog.h"
#include "recording/ReplayStart.h"

namespace Kestrel::DeviceSimulator {

namespace {

// The pause between the end of a looped recording and its next start: one inertial sample
// period, so that the repeated stream keeps its rhythm.
constexpr double loopGap = 0.0005;

class ReplayWork final : public TaskWork {
public:
    ReplayWork(std::shared_ptr<const Recording::Recording> recording, uint32_t node, double start, bool loop)
        : recording_(std::move(recording)), node_(node), start_(start), loop_(loop) {
        const auto& records = recording_->records;
        for (const Recording::Record& r : records)
            if (r.direction == Recording::Direction::DeviceToHost)
                duration_ = std::max(duration_, r.time + loopGap);
        if (recording_->header.task == trackingTaskId)
            leaveOutOpticalBefore(Recording::firstSelfContainedFrame(records));
    }

    void check(uint8_t, size_t) const override {}

    void onHostPacket(uint8_t id, const std::string& payload, double time, const Send&) override {
        Seen& seen = seen_[id];
        ++seen.count;
        if (seen.count > 1 && time < seen.lastLine + 1.0)
            return;
        logLine() << "Replay on node " << node_ << ": host packet " << unsigned(id) << " (" << payload.size()
                  << " bytes) accepted, not acted on" << (seen.count > 1 ? " (" + std::to_string(seen.count) + " since the last line)" : std::string());
        seen.count = 0;
        seen.lastLine = time;
    }

    void produceUntil(double t, const Send& send) override {
        const auto& records = recording_->records;
        for (;;) {
            if (next_ == records.size()) {
                if (!loop_ || duration_ == 0)
                    return;
                start_ += duration_;
                next_ = 0;
            }
            const Recording::Record& record = records[next_];
            if (record.direction != Recording::Direction::DeviceToHost ||
                (next_ < opticalStart_ && Recording::isOpticalPacket(record.id))) {
                ++next_;
                continue;
            }
            const double due = start_ + record.time;
            if (due > t)
                return;
            send(EncodedPacket{record.id, record.payload}, due);
            ++next_;
        }
    }

private:
    // A recording started while the task ran begins with frames whose reference points were
    // not recorded; every pass leaves their optical packets out and begins its frames with the
    // first one that refers to nothing before it (with a loop, the host's previous frame would
    // otherwise be the end of the last pass).
    void leaveOutOpticalBefore(size_t start) {
        const auto& records = recording_->records;
        size_t left = 0;
        for (size_t i = 0; i < start; ++i)
            if (records[i].direction == Recording::Direction::DeviceToHost && Recording::isOpticalPacket(records[i].id))
                ++left;
        opticalStart_ = start;
        if (start == records.size() && left > 0)
            logLine() << "Replay on node " << node_ << ": the recording holds no frame without deltas; its " << left
                      << " optical packets are left out";
        else if (left > 0)
            logLine() << "Replay on node " << node_ << ": the recording began inside a run of delta frames; its first "
                      << left << " optical packets are left out, frames begin at " << records[start].time << " s";
    }

    struct Seen {
        uint64_t count = 0;
        double lastLine = 0;
    };

    std::shared_ptr<const Recording::Recording> recording_;
    uint32_t node_;
    double start_;
    bool loop_;
    double duration_ = 0;  // of one pass, 0 when there is nothing to send
    size_t next_ = 0;
    size_t opticalStart_ = 0;  // optical packets before this record are not played
    std::map<uint8_t, Seen> seen_;
};

} // namespace

std::unique_ptr<TaskWork> makeReplayWork(std::shared_ptr<const Recording::Recording> recording, uint32_t node,
                                         double start, bool loop) {
    return std::make_unique<ReplayWork>(std::move(recording), node, start, loop);
}

} // namespace Kestrel::DeviceSimulator
