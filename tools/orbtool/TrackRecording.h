#pragma once
// The source of an `orbtool track --recording FILE` run: the recording served by a replay
// network of its own (no device-network library), moved on by the command's clock, and the
// true poses the file carries (a recording of the simulator carries them) as ground truth.

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "interface_contract/Remap.h"
#include "recording/NetworkRecorder.h"
#include "recording/RecordingReader.h"
#include "recording/ReplayNetwork.h"

namespace OrbTool {

class TrackRecording {
public:
    // Handles of the replay's nodes; any will do, nothing else shares the network.
    static constexpr Kestrel::DeviceNetwork::NodeHandle rootHandle = 1;

    explicit TrackRecording(const std::string& path) {
        auto recording = std::make_shared<const Kestrel::Recording::Recording>(Kestrel::Recording::readRecordingFile(path));
        if (Kestrel::Recording::taskName(recording->header.task) != "tracking")
            throw std::runtime_error(path + " is a recording of the " + Kestrel::Recording::taskName(recording->header.task) +
                                     " task, not of the tracking task");
        for (const Kestrel::Recording::Record& r : recording->records) {
            Truth truth;
            if (Kestrel::Recording::decodeTruePose(r, truth.pose)) {
                truth.time = r.time;
                truths_.push_back(truth);
            }
        }
        network_ = Kestrel::InterfaceContract::makeInterfaced<Kestrel::Recording::ReplayNetwork,
                                                              Kestrel::Recording::ReplayNetwork>(recording, rootHandle, true);
    }

    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::INodeNetwork> network() const {
        return Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::INodeNetwork>::share(network_.get());
    }
    Kestrel::DeviceNetwork::NodeHandle node() const { return network_->trackerNode(); }
    double duration() const { return network_->player().schedule().duration(); }
    bool hasTruth() const { return !truths_.empty(); }

    // Delivers every packet due by `time` (seconds since the start of the recording).
    void advanceTo(double time) {
        network_->player().deliverUntil(time);
        now_ = time;
    }
    double now() const { return now_; }

    // The true pose recorded at `time` (within half a millisecond); false when there is none.
    bool truthAt(double time, double pose[7]) const {
        auto after = std::lower_bound(truths_.begin(), truths_.end(), time - 0.0005,
                                      [](const Truth& t, double value) { return t.time < value; });
        if (after == truths_.end() || std::fabs(after->time - time) > 0.0005)
            return false;
        std::copy(after->pose, after->pose + 7, pose);
        return true;
    }

private:
    struct Truth {
        double time = 0;
        double pose[7] = {};
    };
    Kestrel::InterfaceContract::Ref<Kestrel::Recording::ReplayNetwork> network_;
    std::vector<Truth> truths_;
    double now_ = 0;
};

} // namespace OrbTool
