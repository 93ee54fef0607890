#pragma once
// RequestWorker<Answer>: runs a viewer's requests one at a time on a thread of its own and keeps
// each answer until the viewer takes it, so that the GUI thread never waits for a producer or a
// device:
//
//     RequestWorker<Snapshot> worker;
//     // every tick, on the GUI thread
//     if (std::optional<Snapshot> answer = worker.take())
//         show(*answer);
//     worker.post([task](const std::atomic<bool>& cancelled) { return askProducer(*task, cancelled); });
//
// At most one request is outstanding: post() refuses a request while one runs or while its
// answer has not been taken. The request holds everything it touches (shared references, never
// the viewer), because the viewer may go while it runs: the worker's destructor does not wait.
// It raises the request's `cancelled` flag (cancel() does too), which a request that waits in
// steps reads to give up early, and hands the thread over to be joined once it has finished (at the latest when
// the program exits). A request that throws gives no answer; the exception is logged.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "interface_contract/DebugLog.h"

namespace WorkerThreads {
// Joins `thread` once `finished` is set; the threads still running when the program exits are
// joined then.
void retire(std::thread thread, std::shared_ptr<const std::atomic<bool>> finished);
} // namespace WorkerThreads

template <class Answer>
class RequestWorker {
public:
    using Request = std::function<Answer(const std::atomic<bool>& cancelled)>;

    RequestWorker() : shared_(std::make_shared<Shared>()), finished_(std::make_shared<std::atomic<bool>>(false)) {
        thread_ = std::thread([shared = shared_, finished = finished_] {
            run(*shared);
            finished->store(true);
        });
    }
    ~RequestWorker() {
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->stopping = true;
            shared_->cancelled.store(true);
        }
        shared_->wake.notify_all();
        WorkerThreads::retire(std::move(thread_), finished_);
    }
    RequestWorker(const RequestWorker&) = delete;
    RequestWorker& operator=(const RequestWorker&) = delete;

    // Starts `request` unless one is outstanding; returns whether it was taken.
    bool post(Request request) {
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            if (shared_->outstanding)
                return false;
            shared_->outstanding = true;
            shared_->pending = std::move(request);
            shared_->cancelled.store(false);
        }
        shared_->wake.notify_all();
        return true;
    }

    // The answer of the last request, once; empty while it runs or when it has been taken.
    std::optional<Answer> take() {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (!shared_->answer)
            return std::nullopt;
        std::optional<Answer> answer = std::move(shared_->answer);
        shared_->answer.reset();
        shared_->outstanding = false;
        return answer;
    }

    // Asks the outstanding request, if any, to give up early; its answer still comes.
    void cancel() { shared_->cancelled.store(true); }

    // A request runs or its answer waits to be taken.
    bool busy() const {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        return shared_->outstanding;
    }

    // For tests: waits until the outstanding request has answered (or failed); false on time-out.
    template <class Duration>
    bool waitForAnswer(Duration timeout) const {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        return shared_->answered.wait_for(lock, timeout,
                                          [&] { return !shared_->outstanding || shared_->answer.has_value(); });
    }

private:
    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable wake, answered;
        Request pending;                // under mutex
        std::optional<Answer> answer;   // under mutex
        bool outstanding = false;       // under mutex: posted and not yet taken
        bool stopping = false;          // under mutex
        std::atomic<bool> cancelled{false};
    };

    static void run(Shared& shared) {
        for (;;) {
            Request request;
            {
                std::unique_lock<std::mutex> lock(shared.mutex);
                shared.wake.wait(lock, [&] { return shared.stopping || bool(shared.pending); });
                if (shared.stopping)
                    return;
                request = std::move(shared.pending);
                shared.pending = nullptr;
            }
            std::optional<Answer> answer;
            try {
                answer.emplace(request(shared.cancelled));
            } catch (const std::exception& e) {
                Kestrel::logLine() << "Viewer request failed: " << e.what();
            }
            // The request's references go here, on this thread, before the answer is handed over.
            request = nullptr;
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (answer)
                    shared.answer = std::move(answer);
                else
                    shared.outstanding = false;
            }
            shared.answered.notify_all();
        }
    }

    std::shared_ptr<Shared> shared_;
    std::shared_ptr<std::atomic<bool>> finished_;
    std::thread thread_;
};
