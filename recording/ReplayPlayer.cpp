#include "recording/ReplayPlayer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "interface_contract/DebugLog.h"
#include "interface_contract/Remap.h"
#include "recording/ReplayStart.h"

namespace Kestrel::Recording {

using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;
using InterfaceContract::Ref;
using SteadyClock = std::chrono::steady_clock;

namespace {
// Records delivered between two looks at the controls when running as fast as possible.
constexpr size_t fastChunk = 512;
// How long a restart waits for the hosts to start their tasks again, and then for the last
// of them to finish its start (a host learns its device-side object only after the start
// call returns, and a host that answers a packet before then cannot reach the device).
constexpr auto restartWait = std::chrono::seconds(1);
constexpr auto startSettle = std::chrono::milliseconds(50);
// A run back to frame k goes as fast as possible to frame k - 1 and sends frame k on its own
// this much later, as a step: a host that asks for one run's data (a debug page) has asked
// again by then, and gets frame k's run rather than one from the middle of the fast run.
constexpr auto lastFramePause = std::chrono::milliseconds(120);
constexpr double minimumRate = 0.1, maximumRate = 10;
} // namespace

struct Session {
    uint64_t id;
    Ref<IConnection> host;
    bool awaitingFrame;  // optical packets wait for a self-contained frame; player's thread only
};

struct ReplayPlayer::State {
    State(std::shared_ptr<const ReplaySchedule> s, uint32_t n) : schedule(std::move(s)), node(n) {}

    const std::shared_ptr<const ReplaySchedule> schedule;
    const uint32_t node;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool closed = false;
    bool playing = false;
    double rate = 1;
    bool loop = false;
    size_t next = 0;         // position of the next record in the pass
    double offset = 0;       // added to recorded times: the start of the pass
    double clockTime = 0;    // pass time reached by the playing clock
    std::optional<size_t> target;  // run as fast as possible to this position, then pause
    std::optional<size_t> lastFrame;  // after `target`, the end of the frame sent on its own
    SteadyClock::time_point lastFrameAt;
    size_t runFrom = 0;            // where that run began, for its progress
    bool awaitingRestart = false;
    size_t expectedSessions = 0;
    SteadyClock::time_point restartDeadline;
    SteadyClock::time_point lastSessionAdded;
    uint64_t generation = 0;  // moves on at each restart
    uint64_t restarts = 0;
    uint64_t nextSessionId = 1;
    std::vector<std::shared_ptr<Session>> sessions;

    // Delivers [next, end) to the sessions with the lock released; keeps the new position only
    // when no restart came in between.
    void deliver(std::unique_lock<std::mutex>& lock, size_t end) {
        const size_t begin = next;
        const uint64_t pass = generation;
        const double passOffset = offset;
        const auto receivers = sessions;
        lock.unlock();
        for (size_t i = begin; i < end; ++i) {
            const Record& r = schedule->record(i);
            const DeviceNetwork::Packet packet{r.id, r.payload.data(), uint32_t(r.payload.size())};
            for (const auto& session : receivers) {
                if (session->awaitingFrame && isOpticalPacket(r.id)) {
                    if (r.id != 0 || !startsSelfContainedFrame(i))
                        continue;
                    session->awaitingFrame = false;
                }
                // A host that refuses a packet keeps its task; a device does not resend either.
                session->host->onPacket(&packet, passOffset + r.time);
            }
        }
        lock.lock();
        if (pass == generation)
            next = end;
    }

    bool startsSelfContainedFrame(size_t position) const {
        const long k = schedule->frameAt(position + 1) + 1;  // the frame whose start is at `position`
        return k >= 0 && size_t(k) < schedule->frameCount() && schedule->frameStart(size_t(k)) == position &&
               schedule->selfContained(size_t(k));
    }

    // Ends the sessions and goes back to the start; the clock then runs to `to` once the
    // hosts are back. Returns the ended sessions, to be released without the lock.
    std::vector<std::shared_ptr<Session>> restartLocked(size_t to) {
        // A target at the end of a frame after the first: the fast run stops a frame short.
        const long frame = schedule->frameAt(to);
        lastFrame.reset();
        if (frame >= 1 && schedule->frameEnd(size_t(frame)) == to) {
            lastFrame = to;
            to = schedule->frameEnd(size_t(frame - 1));
        }
        std::vector<std::shared_ptr<Session>> ended;
        ended.swap(sessions);
        expectedSessions = ended.size();
        awaitingRestart = expectedSessions > 0;
        restartDeadline = SteadyClock::now() + restartWait;
        ++generation;
        ++restarts;
        next = 0;
        offset = 0;
        clockTime = 0;
        playing = false;
        runFrom = 0;
        target = to;
        changed.notify_all();
        return ended;
    }

    void seekLocked(size_t to, std::vector<std::shared_ptr<Session>>& ended) {
        const size_t from = lastFrame ? *lastFrame : target ? *target : next;
        if (to >= from && !awaitingRestart) {
            lastFrame.reset();
            runFrom = next;
            target = to;
            playing = false;
            changed.notify_all();
        } else {
            ended = restartLocked(to);
        }
    }

    void endSession(uint64_t id) {
        std::shared_ptr<Session> ended;
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = sessions.begin(); it != sessions.end(); ++it)
            if ((*it)->id == id) {
                ended = std::move(*it);
                sessions.erase(it);
                break;
            }
        changed.notify_all();
        // `ended` goes after the lock: its host may end its task from the release.
    }

    void run();
};

namespace {

// The device side of one replayed task, handed to the host.
class ReplayDevice final : public InterfaceContract::Implements<IDataReceiver> {
public:
    ReplayDevice(std::weak_ptr<ReplayPlayer::State> state, uint64_t session, uint32_t node)
        : state_(std::move(state)), session_(session), log_(node) {}
    ~ReplayDevice() override {
        if (auto state = state_.lock())
            state->endSession(session_);
    }

    DeviceNetwork::ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet* packet, double) override {
        return InterfaceContract::guard([&] {
            if (!packet)
                throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "onPacket: null packet");
            double time = 0;
            if (auto state = state_.lock()) {
                std::lock_guard<std::mutex> lock(state->mutex);
                time = state->next > 0 ? state->schedule->record(state->next - 1).time : 0;
            }
            std::lock_guard<std::mutex> lock(logMutex_);
            log_.packet(packet->id, packet->size, time);
        });
    }

private:
    std::weak_ptr<ReplayPlayer::State> state_;
    uint64_t session_;
    std::mutex logMutex_;
    HostPacketLog log_;
};

} // namespace

void ReplayPlayer::State::run() {
    std::unique_lock<std::mutex> lock(mutex);
    auto lastWall = SteadyClock::now();
    while (!closed) {
        const auto now = SteadyClock::now();
        const double elapsed = std::chrono::duration<double>(now - lastWall).count();
        lastWall = now;
        if (awaitingRestart) {
            const bool back = sessions.size() >= expectedSessions && now >= lastSessionAdded + startSettle;
            if (!back && now < restartDeadline) {
                changed.wait_for(lock, std::chrono::milliseconds(5));
                continue;
            }
            awaitingRestart = false;
        }
        if (lastFrame && !target) {
            if (now < lastFrameAt) {
                changed.wait_until(lock, lastFrameAt);
                continue;
            }
            runFrom = next;
            target = *lastFrame;
            lastFrame.reset();
        }
        size_t end = next;
        if (target) {
            end = std::min(*target, next + fastChunk);
        } else if (playing && rate <= 0) {
            end = std::min(schedule->size(), next + fastChunk);
        } else if (playing) {
            clockTime += rate * elapsed;
            end = schedule->positionAfter(clockTime);
        } else {
            changed.wait(lock);
            lastWall = SteadyClock::now();
            continue;
        }
        if (end > next)
            deliver(lock, end);
        if (target && next >= *target) {
            target.reset();
            if (lastFrame)
                lastFrameAt = SteadyClock::now() + lastFramePause;
            changed.notify_all();
        } else if (!target && next >= schedule->size()) {
            if (loop && schedule->duration() > 0) {
                next = 0;
                offset += schedule->duration();
                clockTime -= schedule->duration();
            } else {
                playing = false;
            }
        }
        if (playing && !target && rate > 0 && next < schedule->size()) {
            // Sleep until the next record is due (bounded, so that controls are seen promptly).
            const double wait = std::clamp((schedule->record(next).time - clockTime) / rate, 0.0005, 0.02);
            changed.wait_for(lock, std::chrono::duration<double>(wait));
        }
    }
}

ReplayPlayer::ReplayPlayer(std::shared_ptr<const ReplaySchedule> schedule, uint32_t node)
    : state_(std::make_shared<State>(std::move(schedule), node)) {
    const std::string line = state_->schedule->leftOutLine(node);
    if (!line.empty())
        logLine() << line;
}

ReplayPlayer::~ReplayPlayer() { close(); }

Ref<IDataReceiver> ReplayPlayer::addSession(Ref<IConnection> host) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->closed || !host)
        return nullptr;
    auto session = std::make_shared<Session>(Session{state_->nextSessionId++, std::move(host), state_->next > 0});
    state_->sessions.push_back(session);
    state_->lastSessionAdded = SteadyClock::now();
    state_->changed.notify_all();
    return InterfaceContract::makeInterfaced<ReplayDevice, IDataReceiver>(state_, session->id, state_->node);
}

void ReplayPlayer::startClock() {
    if (clock_.joinable())
        return;
    clock_ = std::thread([state = state_] { state->run(); });
}

void ReplayPlayer::play() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->next >= state_->schedule->size() && !state_->target) {
        // Played to the end: the next pass follows on, like a loop.
        state_->next = 0;
        state_->offset += state_->schedule->duration();
    }
    state_->playing = true;
    state_->clockTime = state_->next > 0 ? state_->schedule->record(state_->next - 1).time : 0;
    state_->changed.notify_all();
}

void ReplayPlayer::pause() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->playing = false;
    state_->changed.notify_all();
}

void ReplayPlayer::setRate(double rate) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->rate = rate <= 0 ? 0 : std::clamp(rate, minimumRate, maximumRate);
    state_->changed.notify_all();
}

void ReplayPlayer::setLoop(bool loop) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->loop = loop;
}

void ReplayPlayer::stepForward() {
    std::vector<std::shared_ptr<Session>> ended;
    std::lock_guard<std::mutex> lock(state_->mutex);
    const ReplaySchedule& s = *state_->schedule;
    const long current = s.frameAt(state_->lastFrame ? *state_->lastFrame : state_->target ? *state_->target : state_->next);
    if (current + 1 < long(s.frameCount()))
        state_->seekLocked(s.frameEnd(size_t(current + 1)), ended);
    else
        state_->playing = false;
}

void ReplayPlayer::stepBack() {
    long current;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        current = state_->schedule->frameAt(state_->lastFrame ? *state_->lastFrame
                                            : state_->target  ? *state_->target
                                                              : state_->next);
    }
    seekFrame(current - 1);
}

void ReplayPlayer::seekFrame(long k) {
    std::vector<std::shared_ptr<Session>> ended;
    std::lock_guard<std::mutex> lock(state_->mutex);
    const ReplaySchedule& s = *state_->schedule;
    k = std::min(k, long(s.frameCount()) - 1);
    state_->seekLocked(k < 0 ? 0 : s.frameEnd(size_t(k)), ended);
}

void ReplayPlayer::seekTime(double t) {
    std::vector<std::shared_ptr<Session>> ended;
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->seekLocked(state_->schedule->positionAfter(t), ended);
}

void ReplayPlayer::deliverUntil(double time) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    const size_t end = state_->schedule->positionAfter(time - state_->offset);
    if (end > state_->next)
        state_->deliver(lock, end);
}

bool ReplayPlayer::waitUntilSettled(double timeoutSeconds) const {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [&] {
        return state_->closed || (!state_->target && !state_->lastFrame && !state_->awaitingRestart);
    });
}

ReplayPlayer::Status ReplayPlayer::status() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const State& st = *state_;
    const ReplaySchedule& s = *st.schedule;
    Status status;
    status.playing = st.playing;
    status.rate = st.rate;
    status.loop = st.loop;
    status.seeking = bool(st.target) || bool(st.lastFrame) || st.awaitingRestart;
    if (st.target && *st.target > st.runFrom)
        status.progress = double(std::min(st.next, *st.target) - st.runFrom) / double(*st.target - st.runFrom);
    status.frame = s.frameAt(st.next);
    status.frameCount = s.frameCount();
    status.frameTime = status.frame >= 0 ? s.record(s.frameStart(size_t(status.frame))).time : 0;
    status.time = st.playing ? st.clockTime : st.next > 0 ? s.record(st.next - 1).time : 0;
    status.duration = s.duration();
    status.position = st.next;
    status.sessions = st.sessions.size();
    status.restarts = st.restarts;
    return status;
}

const ReplaySchedule& ReplayPlayer::schedule() const { return *state_->schedule; }

void ReplayPlayer::close() {
    std::vector<std::shared_ptr<Session>> ended;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->closed = true;
        state_->changed.notify_all();
    }
    if (clock_.joinable())
        clock_.join();
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        ended.swap(state_->sessions);
    }
}

} // namespace Kestrel::Recording
