// Recording: the cost of one packet through the recording tap into a file, and two trackers of
// the simulated network recorded in real time (CPU share with and without the recording, and
// the size of the files per minute).
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "device_network/client/TaskStart.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "recording/NetworkRecorder.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

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

class CountingHost final : public Implements<DeviceNetwork::Interop::IConnection> {
public:
    explicit CountingHost(std::atomic<uint64_t>& count) : count_(count) {}
    ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet*, double) override {
        count_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    ResultCode KESTREL_CALL setPeer(IInterface*) override { return 0; }

private:
    std::atomic<uint64_t>& count_;
};

// The default scenario (trackers 2 and 3, real time), both tracking tasks started through the
// recording tap as the program starts them.
void RealTimeTwoTrackersRecorded(benchmark::State& state) {
    unsetenv("KESTREL_SIMULATION");
    auto library = load<DeviceNetwork::ILibrary>(QStringLiteral(ORB_BIN_DIR "/KestrelDeviceNetwork"));
    Ref<DeviceNetwork::INodeNetwork> network;
    std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
    InArray in = inArray(filter);
    check(library.get(), library->createNetwork(&in, network.out()));
    auto& recorder = Recording::NetworkRecorder::instance();
    recorder.install();
    std::atomic<uint64_t> packets{0};
    for (uint32_t node : {2u, 3u}) {
        Ref<DeviceNetwork::Interop::IConnection> host = makeInterfaced<CountingHost, DeviceNetwork::Interop::IConnection>(packets);
        DeviceNetwork::Client::startTask(*network.get(), node, DeviceSimulator::trackingTaskId, host);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto seconds = std::chrono::seconds(10);
    double plainCpu = 0, recordedCpu = 0, wall = 0;
    uint64_t bytes = 0, recordedPackets = 0;
    for (auto _ : state) {
        double cpu0 = processCpuSeconds();
        std::this_thread::sleep_for(seconds);
        plainCpu += processCpuSeconds() - cpu0;

        const uint64_t packets0 = packets.load();
        cpu0 = processCpuSeconds();
        auto wall0 = std::chrono::steady_clock::now();
        recorder.start(".", "bench_recording");
        std::this_thread::sleep_for(seconds);
        for (const std::string& file : recorder.stop()) {
            std::ifstream f(file, std::ios::binary | std::ios::ate);
            bytes += uint64_t(f.tellg());
            std::remove(file.c_str());
        }
        recordedCpu += processCpuSeconds() - cpu0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        recordedPackets += packets.load() - packets0;
    }
    state.counters["cpu_share_percent_without"] = 100.0 * plainCpu / wall;
    state.counters["cpu_share_percent_recording"] = 100.0 * recordedCpu / wall;
    state.counters["recording_cost_percent_of_core"] = 100.0 * (recordedCpu - plainCpu) / wall;
    state.counters["MB_per_minute"] = double(bytes) / wall * 60.0 / 1e6;
    state.counters["packets_per_second"] = double(recordedPackets) / wall;
}
BENCHMARK(RealTimeTwoTrackersRecorded)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
