#include "device_simulator/ReplayWork.h"

#include "device_simulator/TaskIds.h"
#include "interface_contract/DebugLog.h"
#include "recording/ReplaySchedule.h"

namespace Kestrel::DeviceSimulator {

namespace {

class ReplayWork final : public TaskWork {
public:
    ReplayWork(std::shared_ptr<const Recording::Recording> recording, uint32_t node, double start, bool loop)
        : schedule_(recording, recording->header.task == trackingTaskId), hostLog_(node), start_(start),
          loop_(loop) {
        const std::string line = schedule_.leftOutLine(node);
        if (!line.empty())
            logLine() << line;
    }

    void check(uint8_t, size_t) const override {}

    void onHostPacket(uint8_t id, const std::string& payload, double time, const Send&) override {
        hostLog_.packet(id, payload.size(), time);
    }

    void produceUntil(double t, const Send& send) override {
        for (;;) {
            if (next_ == schedule_.size()) {
                if (!loop_ || schedule_.duration() == 0)
                    return;
                start_ += schedule_.duration();
                next_ = 0;
            }
            const Recording::Record& record = schedule_.record(next_);
            const double due = start_ + record.time;
            if (due > t)
                return;
            send(EncodedPacket{record.id, record.payload}, due);
            ++next_;
        }
    }

private:
    Recording::ReplaySchedule schedule_;
    Recording::HostPacketLog hostLog_;
    double start_;
    bool loop_;
    size_t next_ = 0;
};

} // namespace

std::unique_ptr<TaskWork> makeReplayWork(std::shared_ptr<const Recording::Recording> recording, uint32_t node,
                                         double start, bool loop) {
    return std::make_unique<ReplayWork>(std::move(recording), node, start, loop);
}

} // namespace Kestrel::DeviceSimulator
