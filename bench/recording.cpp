// Recording: the cost of one packet through the recording tap into a file, and two trackers of
// the simulated network recorded in real time (CPU share with and without the recording, and
// the size of the files per minute).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "SimulatedNetwork.h"
#include "recording/NetworkRecorder.h"

using namespace BenchSimulation;

namespace {

// One gyroscope packet (6 bytes) through the tap into a file.
void TapOnePacket(benchmark::State& state) {
    Recording::TaskTap tap(Recording::Header{});
    tap.startWriting("bench_recording_tap.orbrec", 0.0);
    const char payload[6] = {1, 0, 2, 0, 3, 0};
    DeviceNetwork::Packet packet{2, payload, 6};
    double time = 0;
    for (auto _ : state) {
        tap.deviceToHost(packet, time);
        time += 0.0005;
    }
    tap.stopWriting();
    std::remove("bench_recording_tap.orbrec");
}
BENCHMARK(TapOnePacket);

// The default scenario (trackers 2 and 3, real time), both tracking tasks started through the
// recording tap as the program starts them.
void RealTimeTwoTrackersRecorded(benchmark::State& state) {
    auto& recorder = Recording::NetworkRecorder::instance();
    recorder.install();
    Network net(nullptr);
    Counts counts;
    net.startTracking(2, counts);
    net.startTracking(3, counts);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Windows without and with the recording alternate, so that a change of the machine's
    // load falls on both alike.
    const auto window = std::chrono::seconds(state.range(0));
    struct Totals {
        double cpu = 0, wall = 0;
        uint64_t packets = 0, payloadBytes = 0;
    } plain, recorded;
    uint64_t bytes = 0;
    auto measure = [&](Totals& totals, auto&& during) {
        const uint64_t packets0 = counts.packets.load(), payload0 = counts.payloadBytes.load();
        const double cpu0 = processCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        during();
        totals.cpu += processCpuSeconds() - cpu0;
        totals.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        totals.packets += counts.packets.load() - packets0;
        totals.payloadBytes += counts.payloadBytes.load() - payload0;
    };
    for (auto _ : state) {
        measure(plain, [&] { std::this_thread::sleep_for(window); });
        measure(recorded, [&] {
            recorder.start(".", "bench_recording");
            std::this_thread::sleep_for(window);
            for (const std::string& file : recorder.stop()) {
                std::ifstream f(file, std::ios::binary | std::ios::ate);
                bytes += uint64_t(f.tellg());
                std::remove(file.c_str());
            }
        });
    }
    const double plainShare = 100.0 * plain.cpu / plain.wall, recordedShare = 100.0 * recorded.cpu / recorded.wall;
    state.counters["seconds_each"] = recorded.wall;
    state.counters["cpu_share_percent_without"] = plainShare;
    state.counters["cpu_share_percent_recording"] = recordedShare;
    state.counters["recording_cost_percent_of_core"] = recordedShare - plainShare;
    state.counters["MB_per_minute"] = double(bytes) / recorded.wall * 60.0 / 1e6;
    // The packets' own bytes, without the 14 bytes of time, direction, id and size per record.
    state.counters["payload_MB_per_minute"] = double(recorded.payloadBytes) / recorded.wall * 60.0 / 1e6;
    state.counters["packets_per_second"] = double(recorded.packets) / recorded.wall;
    if (recorded.packets == 0)
        state.SkipWithError("no packets arrived: the trackers are not streaming");
}
BENCHMARK(RealTimeTwoTrackersRecorded)->Arg(10)->Iterations(6)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
