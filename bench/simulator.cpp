// The simulated device network: CPU share of two trackers streaming in real time, and the
// speed of a fast-clock run (simulated seconds per wall-clock second).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "SimulatedNetwork.h"

using namespace BenchSimulation;

namespace {

void RealTimeTwoTrackers(benchmark::State& state) {
    Network net(nullptr);  // the default scenario: trackers 2 and 3
    Counts counts;
    net.startTracking(2, counts);
    net.startTracking(3, counts);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        double cpu0 = processCpuSeconds();
        auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        cpu += processCpuSeconds() - cpu0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    }
    state.counters["cpu_share_percent"] = 100.0 * cpu / wall;
    state.counters["packets_per_second"] = double(counts.packets.load()) / (wall + 0.2);
}
BENCHMARK(RealTimeTwoTrackers)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void FastClockOneTracker(benchmark::State& state) {
    Network net(R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker",
         "trajectory": {"kind": "circle", "radius": 1, "period": 12, "jitter": true}}]})");
    Counts counts;
    net.startTracking(2, counts);
    for (auto _ : state)
        check(net.control.get(), net.control->advance(1.0));  // one simulated second
    state.counters["simulated_seconds_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(FastClockOneTracker)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
