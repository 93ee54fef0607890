#pragma once
// The recordings open in the program, each served as a small device network of its own
// (recording/ReplayNetwork.h) beside the loaded device network, whether that network is the
// real library, the simulated one or missing. Their node handles come from a range of their
// own (from 0x7F000000 up, two per recording, never reused in a run), so they cannot be taken
// for the loaded network's nodes. GUI thread only.

#include <string>
#include <vector>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"
#include "recording/ReplayNetwork.h"

namespace Kestrel::DeviceNetwork {

class ReplaySources {
public:
    static ReplaySources& instance();
    ~ReplaySources();

    struct Replay {
        InterfaceContract::Ref<Recording::ReplayNetwork> network;
        std::string path;
        std::string name;  // the file's name
    };

    // Reads and checks `path` and serves it, paused at its start with its clock running.
    // Throws std::runtime_error (or Recording::RecordingError) naming the file when it cannot.
    const Replay& open(const std::string& path);
    // Ends the replay whose nodes include `node`: every task on it ends like an unplug and its
    // nodes leave the tree. False when there is no such replay.
    bool close(NodeHandle node);
    void closeAll();

    const std::vector<Replay>& replays() const { return replays_; }
    // The replay serving `node`, or null.
    const Replay* find(NodeHandle node) const;
    // For a node of an open recording: "frame N, T s of FILE" (the latest frame that has run and
    // its recording time), else empty.
    std::string positionText(NodeHandle node) const;
    // Whether `node` belongs to an open recording that sends nothing now (paused or at its end,
    // no step or seek under way): its tasks run no frame until the user moves it on.
    bool holdsStill(NodeHandle node) const;
    // Moves on whenever a replay is opened or closed.
    uint32_t generation() const { return generation_; }

    static constexpr NodeHandle firstHandle = 0x7F000000u;

private:
    ReplaySources() = default;

    std::vector<Replay> replays_;
    NodeHandle nextHandle_ = firstHandle;
    uint32_t generation_ = 0;
};

} // namespace Kestrel::DeviceNetwork
