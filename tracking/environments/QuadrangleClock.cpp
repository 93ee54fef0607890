#include "tracking/environments/QuadrangleClock.h"

#include <atomic>
#include <chrono>

namespace Kestrel::Orb::Tracking {

namespace {

constexpr int64_t never = -1;

std::atomic<QuadrangleClock::Source> source{nullptr};
std::atomic<int64_t> previousUpdate{never};
std::atomic<int64_t> maskCompleted{never};

} // namespace

int64_t QuadrangleClock::now() {
    if (const Source replacement = source.load())
        return replacement();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double QuadrangleClock::sinceLastUpdate(int64_t now) {
    const int64_t previous = previousUpdate.exchange(now);
    return previous == never ? 0.0 : double(now - previous) * 1e-6;
}

int64_t QuadrangleClock::maskCompletedAt(int64_t now) {
    int64_t expected = never;
    if (maskCompleted.compare_exchange_strong(expected, now))
        return now;
    return expected;
}

void QuadrangleClock::setSource(Source replacement) { source.store(replacement); }

void QuadrangleClock::reset() {
    previousUpdate.store(never);
    maskCompleted.store(never);
}

} // namespace Kestrel::Orb::Tracking
