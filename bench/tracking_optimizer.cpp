// Cost of the optimiser's per-batch work: one optimize over a full History of 32 frames, and
// the association of one new frame, for 3 (one bar) and 15 visible markers.
#include <benchmark/benchmark.h>

#include "../tests/tracking/runtime/SyntheticScene.h"
#include "tracking/runtime/pipeline/MarkerAssociation.h"
#include "tracking/runtime/optimizer/PoseOptimization.h"

using namespace TrackingTest;

namespace {

SyntheticScene sceneWith(int markers) {
    SyntheticScene scene;
    if (markers == 3)
        scene.markers = {{{-0.75f, 0, 0}}, {{-0.25f, 0, 0}}, {{0.75f, 0, 0}}};
    return scene;
}

void optimizeFullHistory(benchmark::State& state) {
    const SyntheticScene scene = sceneWith(int(state.range(0)));
    const History history = scene.history(32);
    const OptimizerState truth = scene.truth();
    for (auto _ : state) {
        History copy = history;
        OptimizerState s = truth;
        benchmark::DoNotOptimize(optimize(copy, scene.markers, float(scene.xi), s));
    }
    state.counters["rays"] = double(history.fromNewest(0).frame.rays.size() * 32);
}
BENCHMARK(optimizeFullHistory)->Arg(3)->Arg(15)->Unit(benchmark::kMicrosecond);

void associateOneFrame(benchmark::State& state) {
    const SyntheticScene scene = sceneWith(int(state.range(0)));
    History history = scene.history(32);
    std::vector<HistoryMarker> previous, newest;
    associate(history, scene.markers, scene.truth(), previous, newest);
    previous = newest;
    for (auto _ : state) {
        associate(history, scene.markers, scene.truth(), previous, newest);
        benchmark::DoNotOptimize(newest.data());
    }
}
BENCHMARK(associateOneFrame)->Arg(3)->Arg(15)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
