#pragma once
// A debug hook lets one thread (the viewer) ask for the intermediate data of the next run of a
// step that another thread (the producer) performs:
//
//     // requester, e.g. the GUI thread; waits at most 500 ms
//     bool drawn = environment.barDetectionHook.request([&](const auto& points, ...) { draw(points); });
//
//     // producer, in the watched step; cheap while nobody asks
//     if (barDetectionHook.isRequested())
//         barDetectionHook.serve(points, bars, shape, scale);
//
// One request yields the data of exactly one run of the step, or nothing when the step does
// not run within the time-out. The callback runs on the producer's thread while the requester
// waits, with references to the producer's live data, and it runs under the hook's mutex: a
// requester whose wait timed out takes that mutex before it returns, so the callback never
// outlives the request that installed it. An empty callback is refused, so the producer never
// finds an empty slot while a request is pending. A callback that throws does not disturb the
// producer; request() rethrows its exception on the requester's thread. The callback must not
// request on the same hook (it would wait for itself).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace Kestrel::Orb::Tracking {

template <class... Args>
class DebugHook {
public:
    using Callback = std::function<void(Args...)>;
    static constexpr std::chrono::milliseconds defaultTimeout{500};

    DebugHook() = default;
    DebugHook(const DebugHook&) = delete;
    DebugHook& operator=(const DebugHook&) = delete;

    // Requester side. Installs `callback`, waits until the producer has served it once or
    // `timeout` has passed, and uninstalls it. Returns whether it was served. Requests from
    // several threads are taken one after the other.
    bool request(Callback callback, std::chrono::milliseconds timeout = defaultTimeout) {
        if (!callback)
            throw std::invalid_argument("DebugHook::request(): empty callback");
        std::lock_guard<std::mutex> oneRequester(requesterMutex_);
        std::unique_lock<std::mutex> lock(mutex_);
        slot_ = std::move(callback);
        failure_ = nullptr;
        requested_.store(true, std::memory_order_release);
        const bool served = servedSignal_.wait_for(lock, timeout, [this] { return !requested_.load(); });
        requested_.store(false, std::memory_order_release);
        Callback finished = std::exchange(slot_, nullptr);
        std::exception_ptr failure = std::exchange(failure_, nullptr);
        lock.unlock();
        if (failure)
            std::rethrow_exception(failure);
        return served;
    }

    // Producer side: whether a request is pending, so that the data need only be gathered then.
    bool isRequested() const { return requested_.load(std::memory_order_acquire); }

    // Producer side: hands the data of this run of the step to a pending request, if any.
    // Returns whether it did.
    template <class... Given>
    bool serve(Given&&... data) {
        if (!requested_.load(std::memory_order_acquire))
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!requested_.load())  // the requester timed out meanwhile
            return false;
        try {
            slot_(std::forward<Given>(data)...);
        } catch (...) {
            failure_ = std::current_exception();
        }
        requested_.store(false, std::memory_order_release);
        servedSignal_.notify_all();
        return true;
    }

private:
    std::mutex requesterMutex_;
    std::mutex mutex_;  // guards slot_ and failure_, and is held while the callback runs
    std::condition_variable servedSignal_;
    Callback slot_;
    std::exception_ptr failure_;
    std::atomic<bool> requested_{false};
};

} // namespace Kestrel::Orb::Tracking
