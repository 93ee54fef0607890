// Drawing the Tracking Debug pages from a full pipeline snapshot: a History of 32 frames of 30
// rays each (a tile floor seen from head height), a 30-entry association list and 54 markers.
// The drawing runs on the producer's thread while the GUI thread waits for it, so its time
// adds to the GUI thread's tick as well as to the producer's step.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "tracking/runtime/pipeline/History.h"
#include "viewers/TrackingDebugPosePages.h"
#include "viewers/TrackingDebugSensorPages.h"

using namespace Kestrel::Orb::Tracking;
using namespace TrackingDebug;
using KestrelQt3DEngine::LinedMeshConstructor;

namespace {

constexpr int raysPerFrame = 30;

History fullHistory() {
    History history;
    for (int frame = 0; frame < History::capacity; ++frame) {
        FrameRecord record;
        record.frame.up = Vec3f{{0, 0, -1}};
        record.leap.duration = 0.005f;
        record.leap.positionDelta[1] = 4.905f * 0.005f * 0.005f;
        record.leap.velocityDelta[1] = 9.81f * 0.005f;
        for (int k = 0; k < raysPerFrame; ++k) {
            const float angle = 0.2f * float(k);
            Ray ray{};
            ray.direction = Vec3f{{0.5f * std::cos(angle), 0.5f * std::sin(angle), 0.866f}};
            ray.markerIndex = k % 5 == 0 ? -1 : k;
            ray.previousLink = k;
            record.frame.rays.push_back(ray);
        }
        history.add(record);
    }
    return history;
}

std::vector<Vec3f> floorMarkers() {
    std::vector<Vec3f> markers;
    for (int i = 0; i < 54; ++i)
        markers.push_back(Vec3f{{0.5f * float(i % 9), 0, 0.5f * float(i / 9)}});
    return markers;
}

void BM_DrawOptimization(benchmark::State& state) {
    const History history = fullHistory();
    const std::vector<Vec3f> markers = floorMarkers();
    OptimizerState optimized{};
    optimized.position = Vec3f{{1, 1.7f, 1}};
    optimized.rotation = Quatf{0.7071f, 0, 0, 0.7071f};
    const StateDelta delta(12, 0.001f);
    LinedMeshConstructor geometry;
    for (auto _ : state) {
        geometry.clear();
        benchmark::DoNotOptimize(drawOptimization(geometry, markers, optimized, delta, history));
    }
    state.counters["vertices"] = double(geometry.vertices().size());
}
BENCHMARK(BM_DrawOptimization)->Unit(benchmark::kMicrosecond);

void BM_DrawHistory(benchmark::State& state) {
    const History history = fullHistory();
    std::vector<HistoryMarker> entries(raysPerFrame, HistoryMarker{Vec3f{{0, 0, 1}}, 2.0f, 1.0f});
    LinedMeshConstructor geometry;
    for (auto _ : state) {
        geometry.clear();
        drawHistory(geometry, history, entries);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = double(geometry.vertices().size());
}
BENCHMARK(BM_DrawHistory)->Unit(benchmark::kMicrosecond);

void BM_DrawOptics(benchmark::State& state) {
    const History history = fullHistory();
    const OpticFrame& frame = history.fromNewest(0).frame;
    LinedMeshConstructor geometry;
    for (auto _ : state) {
        geometry.clear();
        drawOptics(geometry, frame);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = double(geometry.vertices().size());
}
BENCHMARK(BM_DrawOptics)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
