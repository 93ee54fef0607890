#include "device_network/ReplaySources.h"

#include <cstdio>

#include <QFileInfo>
#include <QString>

#include "interface_contract/DebugLog.h"
#include "recording/RecordingReader.h"
#include "recording/NetworkRecorder.h"

namespace Kestrel::DeviceNetwork {

ReplaySources& ReplaySources::instance() {
    static ReplaySources sources;
    return sources;
}

ReplaySources::~ReplaySources() { closeAll(); }

const ReplaySources::Replay& ReplaySources::open(const std::string& path) {
    auto recording = std::make_shared<const Recording::Recording>(Recording::readRecordingFile(path));
    const bool tracking = Recording::taskName(recording->header.task) == "tracking";
    Replay replay;
    replay.network = InterfaceContract::makeInterfaced<Recording::ReplayNetwork, Recording::ReplayNetwork>(
        std::move(recording), nextHandle_, tracking);
    replay.path = path;
    replay.name = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
    nextHandle_ += 2;
    replay.network->player().startClock();
    logLine() << "Replay of " << path << " opened as node " << replay.network->trackerNode();
    replays_.push_back(std::move(replay));
    ++generation_;
    return replays_.back();
}

bool ReplaySources::close(NodeHandle node) {
    for (auto it = replays_.begin(); it != replays_.end(); ++it) {
        if (!it->network->owns(node))
            continue;
        Replay closed = std::move(*it);
        replays_.erase(it);
        ++generation_;
        closed.network->player().close();
        logLine() << "Replay of " << closed.path << " closed";
        return true;
    }
    return false;
}

void ReplaySources::closeAll() {
    while (!replays_.empty())
        close(replays_.front().network->root());
}

const ReplaySources::Replay* ReplaySources::find(NodeHandle node) const {
    for (const Replay& replay : replays_)
        if (replay.network->owns(node))
            return &replay;
    return nullptr;
}

std::string ReplaySources::positionText(NodeHandle node) const {
    const Replay* replay = find(node);
    if (!replay)
        return {};
    const Recording::ReplayPlayer::Status status = replay->network->player().status();
    char text[64];
    if (status.frame < 0)
        std::snprintf(text, sizeof text, "before the first frame, %.3f s", status.time);
    else
        std::snprintf(text, sizeof text, "frame %ld, %.3f s", status.frame, status.frameTime);
    return text + (" of " + replay->name);
}

bool ReplaySources::holdsStill(NodeHandle node) const {
    const Replay* replay = find(node);
    if (!replay)
        return false;
    const Recording::ReplayPlayer::Status status = replay->network->player().status();
    return !status.playing && !status.seeking;
}

} // namespace Kestrel::DeviceNetwork
