// orbtool record: the raw packets of one task on one node, both ways, into an .orbrec file.

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "Command.h"
#include "CommandOptions.h"
#include "DeviceNetworkOpening.h"
#include "device_network/client/TaskStart.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "recording/TapConnection.h"

namespace OrbTool {

namespace {

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;

const char helpText[] =
    "Usage: orbtool record --node N --task tracking|debug --seconds S --out FILE.orbrec\n\n"
    "Starts the task on node N of the device network (the library KestrelDeviceNetwork, loaded\n"
    "like the program loads it) and writes every packet of it, both ways, with the node's\n"
    "GeometrySettings and MaximumViewAngle, into FILE for S seconds of network time. The host\n"
    "end only listens; for the debug task it asks for the point list every 100 ms and for a\n"
    "camera image every second, since that task sends nothing unasked. On a simulated network\n"
    "with the fast clock, the clock is moved on as fast as the packets are written. A tracking\n"
    "task of a simulated tracker also records the tracker's true pose every 5 ms, so that\n"
    "`orbtool track --recording FILE` can measure the pipeline's errors on it.\n"
    "docs/recording-format.md describes the file.\n";

using DeviceSimulator::debugTaskId;
using DeviceSimulator::trackingTaskId;
constexpr uint8_t pointRequest = 13, imageRequest = 12;

// The host end of the recorded task: it takes every packet and can send requests.
class ListeningHost final : public Implements<IConnection> {
public:
    ResultCode KESTREL_CALL onPacket(const DeviceNetwork::Packet*, double) override {
        packets_.fetch_add(1, std::memory_order_relaxed);
        return S_OK_CODE;
    }
    ResultCode KESTREL_CALL setPeer(IInterface* peer) override {
        return guard([&] {
            auto device = Ref<IInterface>::share(peer).queryChecked<IDataReceiver>();
            std::lock_guard<std::mutex> lock(mutex_);
            device_ = std::move(device);
        });
    }
    void send(uint8_t id) {
        Ref<IDataReceiver> device;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            device = device_;
        }
        if (!device)
            return;
        DeviceNetwork::Packet packet{id, nullptr, 0};
        check(device.get(), device->onPacket(&packet, 0.0));
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        device_.reset();
    }
    uint64_t packets() const { return packets_.load(); }

private:
    std::mutex mutex_;
    Ref<IDataReceiver> device_;
    std::atomic<uint64_t> packets_{0};
};

int record(const CommandOptions& options) {
    const auto node = DeviceNetwork::NodeHandle(parseUnsigned(options.value("node"), "--node", 0xFFFFFFFFu));
    const std::string taskText = options.value("task");
    if (taskText != "tracking" && taskText != "debug")
        throw std::runtime_error("--task: expected tracking or debug, not '" + taskText + "'");
    const InterfaceId task = taskText == "tracking" ? trackingTaskId : debugTaskId;
    const double seconds = parseFloat(options.value("seconds"), "--seconds");
    if (!(seconds > 0))
        throw std::runtime_error("--seconds: must be positive");
    const std::string out = options.value("out");

    const auto [library, network] = openDeviceNetwork();

    // A simulated network tells its time, so that the recording starts at the task's start;
    // other networks start it at the first packet.
    Ref<DeviceSimulator::ISimulationControl> control = library.query<DeviceSimulator::ISimulationControl>();
    bool fastClock = false;
    auto networkTime = [&] {
        double t = NAN;
        if (control)
            check(control.get(), control->getTime(&t));
        return t;
    };
    if (control) {
        Boolean fast = BooleanFalse;
        check(control.get(), control->isFastClock(&fast));
        fastClock = bool(fast);
    }

    auto tap = std::make_shared<Recording::TaskTap>(Recording::taskIdentity(*network.get(), node, task));
    const double start = networkTime();
    tap->startWriting(out, start);
    auto host = makeInterfaced<ListeningHost, IConnection>();
    auto* listener = static_cast<ListeningHost*>(host.get());
    if (!DeviceNetwork::Client::startTask(*network.get(), node, task, Recording::makeTapConnection(tap, host)))
        throw std::runtime_error("node " + std::to_string(node) + " did not start the " + taskText + " task");

    // The simulator's ground truth goes into the file beside the packets, every 5 ms.
    const bool withTruth = control && task == trackingTaskId;
    auto writeTruth = [&] {
        const double t = networkTime();
        double pose[7];
        if (withTruth && control->getGroundTruth(node, t, pose) == S_OK_CODE)
            tap->truePose(t, pose);
    };
    const double step = withTruth ? 0.005 : 0.1;
    const int stepsPerTenth = int(std::lround(0.1 / step));
    const auto wallStart = std::chrono::steady_clock::now();
    writeTruth();
    for (int k = 1; k * step <= seconds + 1e-9 && !tap->ended(); ++k) {
        if (task == debugTaskId && (k - 1) % stepsPerTenth == 0) {
            listener->send(pointRequest);
            if ((k - 1) % (10 * stepsPerTenth) == 0)
                listener->send(imageRequest);
        }
        if (fastClock)
            check(control.get(), control->advance(step));
        else
            std::this_thread::sleep_until(wallStart + std::chrono::duration<double>(k * step));
        writeTruth();
    }
    const uint64_t records = tap->recordCount();
    const bool ended = tap->ended();
    if (tap->stopWriting().empty() && !ended)
        throw std::runtime_error("the recording into " + out + " failed (see the log above)");
    listener->release();
    std::printf("orbtool record: %llu records of node %u's %s task in %.3g s into %s%s\n",
                static_cast<unsigned long long>(records), node, taskText.c_str(), seconds, out.c_str(),
                ended ? " (the task ended early)" : "");
    return 0;
}

int runRecord(const Arguments& arguments) {
    try {
        const CommandOptions options(arguments, 0, {}, {"node", "task", "seconds", "out"});
        return record(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbtool record: %s\n", e.what());
        return 1;
    }
}

const CommandRegistration registration{"record", "record the raw packets of a task into an .orbrec file", helpText,
                                       runRecord};

} // namespace

} // namespace OrbTool
