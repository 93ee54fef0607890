#pragma once
// A counting semaphore for answers of a device: the receiving thread signals one completion
// per finished answer, the requesting thread waits for one. Every signal wakes one waiter;
// a signal with nobody waiting is kept for the next wait.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace Kestrel::Orb {

class CompletionSemaphore {
public:
    void signal() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++count_;
        }
        changed_.notify_one();
    }

    // Blocks until a completion is there and takes it; false when `timeout` passed first.
    template <class Rep, class Period>
    bool wait(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [&] { return count_ > 0; }))
            return false;
        --count_;
        return true;
    }

    // Forgets completions nobody waited for (answers that came after their request gave up).
    void drain() {
        std::lock_guard<std::mutex> lock(mutex_);
        count_ = 0;
    }

    int pending() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

} // namespace Kestrel::Orb
