// The simulated device network: CPU share of two trackers streaming in real time, and the
// speed of a fast-clock run (simulated seconds per wall-clock second).
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;

namespace {

// A host connection that only counts, so that the figures are the simulator's own cost.
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

struct Network {
    Ref<DeviceNetwork::ILibrary> library;
    Ref<DeviceNetwork::INodeNetwork> network;
    Ref<DeviceSimulator::ISimulationControl> control;
    std::vector<Ref<DeviceNetwork::Interop::IDataReceiver>> tasks;

    explicit Network(const char* scenario) {
        if (scenario) {
            std::ofstream("bench_simulator_scenario.json") << scenario;
            setenv("KESTREL_SIMULATION", "bench_simulator_scenario.json", 1);
        } else {
            unsetenv("KESTREL_SIMULATION");
        }
        library = load<DeviceNetwork::ILibrary>(QStringLiteral(ORB_BIN_DIR "/KestrelDeviceNetwork"));
        unsetenv("KESTREL_SIMULATION");
        std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
        InArray in = inArray(filter);
        check(library.get(), library->createNetwork(&in, network.out()));
        control = library.query<DeviceSimulator::ISimulationControl>();
    }
    void startTracking(uint32_t node, std::atomic<uint64_t>& count) {
        Ref<DeviceNetwork::Interop::IConnection> host = makeInterfaced<CountingHost, DeviceNetwork::Interop::IConnection>(count);
        Ref<DeviceNetwork::Interop::IDataReceiver> device;
        check(network.get(), network->startTask(node, &DeviceSimulator::trackingTaskId, host.detach(), device.out()));
        tasks.push_back(device);
    }
};

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void RealTimeTwoTrackers(benchmark::State& state) {
    Network net(nullptr);  // the default scenario: trackers 2 and 3
    std::atomic<uint64_t> packets{0};
    net.startTracking(2, packets);
    net.startTracking(3, packets);
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
    state.counters["packets_per_second"] = double(packets.load()) / (wall + 0.2);
}
BENCHMARK(RealTimeTwoTrackers)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void FastClockOneTracker(benchmark::State& state) {
    Network net(R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker",
         "trajectory": {"kind": "circle", "radius": 1, "period": 12, "jitter": true}}]})");
    std::atomic<uint64_t> packets{0};
    net.startTracking(2, packets);
    for (auto _ : state)
        check(net.control.get(), net.control->advance(1.0));  // one simulated second
    state.counters["simulated_seconds_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(FastClockOneTracker)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
