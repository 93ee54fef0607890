// Cost of the session health analysis on a live session: everything the observer does for one
// optical frame at the simulator's rates (200 frames a second, 10 gyroscope and 10
// accelerometer samples per frame, 23 points, one optimiser batch with 20 matched and 3
// unmatched rays over a floor of 36 markers), the periodic lag estimate included. The counter
// "core%@200Hz" is the share of one core it takes at 200 frames a second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "tracking/runtime/health/SessionHealth.h"

namespace {

using namespace Kestrel::Orb::Tracking;
using Vec3 = KestrelMath::vector<float, 3>;

constexpr double frameRate = 200;

struct LiveSession {
    int64_t nanoseconds = 0;
    std::shared_ptr<Health::SessionHealth> health;
    std::vector<Vec3> markers;
    OptimizerState pose{};
    OpticFrame frame;
    int64_t count = 0;

    LiveSession() : health(std::make_shared<Health::SessionHealth>([this] { return nanoseconds; })) {
        CameraView view;
        view.xi = 0.8f;
        view.maximumRadiusSquared = 0.9f;
        health->cameraDescribed(view);
        for (int i = 0; i < 6; ++i)
            for (int k = 0; k < 6; ++k)
                markers.push_back(Vec3{{-1.5f + 0.6f * float(i), 0.0f, -1.5f + 0.6f * float(k)}});
        const float h = float(std::sqrt(0.5));
        pose.position = {{0.0f, 1.6f, 0.0f}};
        pose.rotation = {h, 0.0f, 0.0f, h};  // looking down
    }

    void oneFrame() {
        // The tracker turns slowly about its optical axis, so the followed points move.
        const float turn = 0.002f * float(count % 1000);
        for (int k = 0; k < 10; ++k) {
            health->gyroscopeSample(Vec3{{0.0f, 0.0f, 0.01f}}, false);
            health->accelerometerSample();
        }
        health->frameBegan(2);
        frame.rays.clear();
        for (int k = 0; k < 23; ++k) {
            const float a = turn + 0.27f * float(k), r = 0.1f + 0.02f * float(k);
            const float x = r * std::cos(a), y = r * std::sin(a);
            health->pointReceived(x, y, 800 + k, true);
            Ray ray{};
            ray.point = {{x, y}};
            ray.direction = KestrelMath::normalized(Vec3{{x, y, 1.0f}});
            ray.value = 3.0f;
            ray.markerIndex = k < 20 ? k : -1;
            frame.rays.push_back(ray);
        }
        BatchObservation batch;
        batch.newest = &frame;
        batch.state = &pose;
        batch.markers = &markers;
        batch.xi = 0.8f;
        batch.ok = true;
        batch.quality = 0.03f;
        batch.frames = 1;
        health->batchProcessed(batch);
        nanoseconds += int64_t(1e9 / frameRate);
        ++count;
    }
};

void observeOneFrame(benchmark::State& state) {
    LiveSession session;
    for (auto _ : state)
        session.oneFrame();
    // seconds per frame * frames per second * 100 = % of one core.
    state.counters["core%@200Hz"] =
        benchmark::Counter(1.0 / (frameRate * 100.0), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(observeOneFrame)->Unit(benchmark::kMicrosecond);

// What a viewer pays to read the figures of a 10-minute session (600 windows).
void snapshotTenMinutes(benchmark::State& state) {
    LiveSession session;
    for (int k = 0; k < int(600 * frameRate); ++k)
        session.oneFrame();
    for (auto _ : state)
        benchmark::DoNotOptimize(session.health->snapshot());
}
BENCHMARK(snapshotTenMinutes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
