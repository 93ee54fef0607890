#pragma once
// The simulated device network for benchmarks: loaded from the deliverables folder as the
// program loads it, with tracking tasks whose host side only counts packets, so that the
// figures are the network's own cost (plus whatever a recording tap adds).

#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "device_network/client/TaskStart.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"

namespace BenchSimulation {

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;

// What the host sides of the tasks received, over all tasks.
struct Counts {
    std::atomic<uint64_t> packets{0};
    std::atomic<uint64_t> payloadBytes{0};
};

// A host connection that counts the packets it receives. It keeps the device side it is given
// as its peer: releasing that would end the task.
class CountingHost final : public Implements<DeviceNetwork::Interop::IConnection> {
public:
    explicit CountingHost(Counts& counts) : counts_(counts) {}
    ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet* packet, double) override {
        counts_.packets.fetch_add(1, std::memory_order_relaxed);
        counts_.payloadBytes.fetch_add(packet->size, std::memory_order_relaxed);
        return 0;
    }
    ResultCode KESTREL_CALL setPeer(IInterface* peer) override {
        peer_ = Ref<IInterface>::share(peer);
        return 0;
    }
    void releasePeer() { peer_.reset(); }

private:
    Counts& counts_;
    Ref<IInterface> peer_;
};

// `scenario`: JSON text, or null for the built-in scenario (trackers 2 and 3, real time).
struct Network {
    Ref<DeviceNetwork::ILibrary> library;
    Ref<DeviceNetwork::INodeNetwork> network;
    Ref<DeviceSimulator::ISimulationControl> control;
    std::vector<Ref<CountingHost>> hosts;

    explicit Network(const char* scenario) {
        if (scenario) {
            std::ofstream("bench_simulator_scenario.json") << scenario;
            setenv("KESTREL_SIMULATION", "bench_simulator_scenario.json", 1);
        } else {
            unsetenv("KESTREL_SIMULATION");
        }
        library = load<DeviceNetwork::ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
        unsetenv("KESTREL_SIMULATION");
        std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
        InArray in = inArray(filter);
        check(library.get(), library->createNetwork(&in, network.out()));
        control = library.query<DeviceSimulator::ISimulationControl>();
    }
    ~Network() {
        for (const Ref<CountingHost>& host : hosts)
            host->releasePeer();
    }

    // Starts the tracking task on `node` the way the program does (through a recording tap
    // when one is installed).
    void startTracking(uint32_t node, Counts& counts) {
        auto host = makeInterfaced<CountingHost, CountingHost>(counts);
        if (!DeviceNetwork::Client::startTask(*network.get(), node, DeviceSimulator::trackingTaskId,
                                              Ref<DeviceNetwork::Interop::IConnection>::share(host.get())))
            throw std::runtime_error("tracking did not start on node " + std::to_string(node));
        hosts.push_back(host);
    }
};

inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

} // namespace BenchSimulation
