#include "viewers/RequestWorker.h"

#include <mutex>
#include <vector>

namespace WorkerThreads {

namespace {

// The threads of workers whose viewers have gone. Each is joined once it has finished, on the
// next retirement, and the rest when the program exits.
class Retired {
public:
    ~Retired() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Entry& entry : entries_)
            if (entry.thread.joinable())
                entry.thread.join();
    }
    void add(std::thread thread, std::shared_ptr<const std::atomic<bool>> finished) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->finished->load()) {
                it->thread.join();
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
        entries_.push_back({std::move(thread), std::move(finished)});
    }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<const std::atomic<bool>> finished;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

Retired& retired() {
    static Retired instance;
    return instance;
}

} // namespace

void retire(std::thread thread, std::shared_ptr<const std::atomic<bool>> finished) {
    if (thread.joinable())
        retired().add(std::move(thread), std::move(finished));
}

} // namespace WorkerThreads
