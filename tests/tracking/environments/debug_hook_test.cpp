// The debug hook's hand-over between a requester and a producer thread.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tracking/environments/DebugHook.h"

using Kestrel::Orb::Tracking::DebugHook;
using namespace std::chrono_literals;

namespace {

// A producer that runs its watched step over and over, numbering the runs.
struct Producer {
    DebugHook<int, const std::vector<int>&> hook;
    std::atomic<bool> stop{false};
    std::atomic<int> runs{0};
    std::thread thread;

    void start() {
        thread = std::thread([this] {
            std::vector<int> data{1, 2, 3};
            while (!stop) {
                const int run = ++runs;
                hook.serve(run, data);
                std::this_thread::yield();
            }
        });
    }
    ~Producer() {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

TEST(DebugHook, EachRequestGetsExactlyOneRun) {
    Producer producer;
    producer.start();
    int previous = 0;
    for (int request = 0; request < 200; ++request) {
        std::vector<int> seen;
        ASSERT_TRUE(producer.hook.request([&](int run, const std::vector<int>& data) {
            seen.push_back(run);
            EXPECT_EQ(data.size(), 3u);
        }));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_GT(seen[0], previous);  // a later run than the one served before
        previous = seen[0];
        EXPECT_FALSE(producer.hook.isRequested());
    }
}

TEST(DebugHook, TimesOutWhenTheStepDoesNotRun) {
    DebugHook<int> hook;
    bool called = false;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hook.request([&](int) { called = true; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_FALSE(hook.isRequested());
    // A producer arriving after the time-out finds nothing to serve.
    EXPECT_FALSE(hook.serve(1));
    EXPECT_FALSE(called);
}

TEST(DebugHook, DefaultTimeOutIsHalfASecond) {
    EXPECT_EQ(DebugHook<>::defaultTimeout, 500ms);
    DebugHook<> hook;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hook.request([] {}));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 500ms);
    EXPECT_LT(waited, 2000ms);
}

TEST(DebugHook, RefusesAnEmptyCallback) {
    DebugHook<int> hook;
    EXPECT_THROW(hook.request(nullptr), std::invalid_argument);
    EXPECT_FALSE(hook.isRequested());
    EXPECT_FALSE(hook.serve(1));
}

TEST(DebugHook, ACallbackFailureReachesTheRequesterNotTheProducer) {
    Producer producer;
    producer.start();
    EXPECT_THROW(producer.hook.request([](int, const std::vector<int>&) { throw std::runtime_error("draw failed"); }),
                 std::runtime_error);
    // The producer keeps running and serves the next request.
    EXPECT_TRUE(producer.hook.request([](int, const std::vector<int>&) {}));
}

// A requester that times out must never have its callback run afterwards: the callback below
// writes into a local of the request's scope. Run under AddressSanitizer or ThreadSanitizer this
// would report the write; here the flag checks it.
TEST(DebugHook, ACallbackNeverRunsAfterItsRequestReturned) {
    DebugHook<int> hook;
    std::atomic<bool> stop{false};
    std::atomic<int> lateCalls{0};
    std::thread producer([&] {
        while (!stop) {
            hook.serve(0);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    int served = 0, timedOut = 0;
    for (int i = 0; i < 300; ++i) {
        auto alive = std::make_shared<std::atomic<bool>>(true);
        int local = 0;
        const bool ok = hook.request(
            [&, alive](int) {
                if (!*alive)
                    ++lateCalls;
                // Slow enough that the requester's time-out often strikes meanwhile.
                std::this_thread::sleep_for(std::chrono::microseconds(40));
                ++local;
            },
            std::chrono::milliseconds(i % 2));
        *alive = false;
        (ok ? served : timedOut)++;
        EXPECT_EQ(local, ok ? 1 : 0);
    }
    stop = true;
    producer.join();
    EXPECT_EQ(lateCalls, 0);
    EXPECT_GT(served, 0);
}

TEST(DebugHook, ConcurrentRequestersEachGetOneRun) {
    Producer producer;
    producer.start();
    std::atomic<int> calls{0}, successes{0};
    std::vector<std::thread> requesters;
    for (int t = 0; t < 4; ++t)
        requesters.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                if (producer.hook.request([&](int, const std::vector<int>&) { ++calls; }))
                    ++successes;
        });
    for (auto& t : requesters)
        t.join();
    EXPECT_EQ(successes, 200);
    EXPECT_EQ(calls, 200);
}
