#pragma once
// Plays one recording to the host connections of the tasks started on it, as the device would
// have sent it: each device-to-host record at its recorded time (plus the offset of the pass),
// in order. One clock serves every connection of the recording.
//
// The clock runs on the player's own thread (startClock): play at a rate of 0.1x to 10x, or as
// fast as the hosts take the packets (rate 0); pause; step one optical frame forward; step back
// or seek. The host's state depends on everything it was sent, so a step back or a seek to an
// earlier point restarts the tasks: every connection is ended (its host sees the device gone),
// the position goes back to the start, and once the hosts have started the task again (or after
// a second) the player runs as fast as possible to the target and pauses there.
//
// A connection that joins while the replay is under way gets inertial packets at once and
// optical packets from the next self-contained frame on, so that it never sees a delta frame
// whose reference it lacks.
//
// Without startClock the player moves only by deliverUntil, on the caller's thread (headless
// runs that move their own clock). close() ends every connection like an unplug.
//
// All methods are thread-safe. Packets are delivered without the player's lock held, so a host
// may call back (end its task) from inside a delivery.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"
#include "recording/ReplaySchedule.h"

namespace Kestrel::Recording {

class ReplayPlayer {
public:
    struct Status {
        bool playing = false;
        double rate = 1;     // 0: as fast as possible
        bool loop = false;
        bool seeking = false;  // a step, a seek or a restart is under way
        double progress = 1;   // of that run, 0 to 1
        long frame = -1;       // the latest frame that has run, -1 before the first
        size_t frameCount = 0;
        double frameTime = 0;  // recording time of that frame's start
        double time = 0;       // recording time of the clock
        double duration = 0;
        size_t position = 0;   // records delivered in this pass
        size_t sessions = 0;
        uint64_t restarts = 0;
    };

    ReplayPlayer(std::shared_ptr<const ReplaySchedule> schedule, uint32_t node);
    ~ReplayPlayer();
    ReplayPlayer(const ReplayPlayer&) = delete;
    ReplayPlayer& operator=(const ReplayPlayer&) = delete;

    // A task started on the replay: `host` receives the packets from now on. Returns the
    // device-side object for the host; host-to-device packets sent to it are logged, and its
    // release ends the connection. After close() the answer is null.
    InterfaceContract::Ref<DeviceNetwork::Interop::IDataReceiver>
    addSession(InterfaceContract::Ref<DeviceNetwork::Interop::IConnection> host);

    void startClock();
    void play();
    void pause();
    // Clamped to 0.1..10; 0 or less plays as fast as possible.
    void setRate(double rate);
    void setLoop(bool loop);
    // Pauses and runs one optical frame further; nothing at the last frame.
    void stepForward();
    // Pauses and goes back to the previous frame (restarting the tasks).
    void stepBack();
    // Pauses at frame k (-1: before the first), restarting the tasks when k is behind.
    void seekFrame(long k);
    // Pauses at recording time t (every record due at or before it delivered).
    void seekTime(double t);

    // Delivers, on the calling thread, every record due at or before `time` (seconds since the
    // start of the recording). For players without a clock.
    void deliverUntil(double time);

    // Waits until no step, seek or restart is under way; false on timeout.
    bool waitUntilSettled(double timeoutSeconds) const;

    Status status() const;
    const ReplaySchedule& schedule() const;

    // Stops the clock and ends every connection (each host sees the device gone). Idempotent.
    void close();

    struct State;

private:
    std::shared_ptr<State> state_;
    std::thread clock_;
};

} // namespace Kestrel::Recording
