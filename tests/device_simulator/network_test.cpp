// The simulated network as the program meets it: loaded by name through the real loader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "FakeHost.h"
#include "StreamDecoder.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "tests/EnvironmentVariables.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using DeviceNetwork::DeviceType;
using DeviceNetwork::ILibrary;
using DeviceNetwork::INodeNetwork;
using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;
using DeviceSimulator::ISimulationControl;

namespace {

struct Loaded {
    Ref<ILibrary> library;
    Ref<INodeNetwork> network;
    Ref<ISimulationControl> control;
};

// Loads the library with the scenario `json` (empty: the built-in default).
Loaded loadSimulation(const std::string& json, std::vector<DeviceType> filter = {{0x3237, 0}, {0x0301, 0}}) {
    static int count = 0;
    if (json.empty()) {
        unsetenv("KESTREL_SIMULATION");
    } else {
        std::string path = testing::TempDir() + "scenario_" + std::to_string(count++) + ".json";
        std::ofstream(path) << json;
        setenv("KESTREL_SIMULATION", path.c_str(), 1);
    }
    Loaded l;
    // The library is built into the deliverables folder, not beside the tests.
    l.library = load<ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
    unsetenv("KESTREL_SIMULATION");
    if (!l.library)
        return l;
    check(l.library.get(), l.library->setSetting(6));
    InArray in = inArray(filter);
    check(l.library.get(), l.library->createNetwork(&in, l.network.out()));
    l.control = l.library.query<ISimulationControl>();
    return l;
}

std::vector<uint32_t> nodes(INodeNetwork* network) {
    std::vector<uint32_t> handles;
    OutArray out = outArray(handles);
    check(network, network->getNodes(&out));
    return handles;
}

uint32_t updateId(INodeNetwork* network) {
    uint32_t id = 0;
    check(network, network->getUpdateId(&id));
    return id;
}

bool supports(INodeNetwork* network, uint32_t node, const InterfaceId& task) {
    Boolean answer = 0;
    check(network, network->isTaskSupported(node, &task, &answer));
    return answer != 0;
}

uint32_t parent(INodeNetwork* network, uint32_t node) {
    uint32_t p = 99;
    check(network, network->getParent(node, &p));
    return p;
}

uint32_t running(ISimulationControl* control) {
    uint32_t n = 0;
    check(control, control->getRunningTaskCount(&n));
    return n;
}

// Starts a task with a fake host; the device side comes back (or null).
Ref<IDataReceiver> start(INodeNetwork* network, uint32_t node, const InterfaceId& task,
                         const std::shared_ptr<HostRecord>& record) {
    Ref<IConnection> host = makeInterfaced<FakeHost, IConnection>(record);
    Ref<IDataReceiver> device;
    check(network, network->startTask(node, &task, host.detach(), device.out()));
    return device;
}

bool waitUntilNoTasks(ISimulationControl* control) {
    for (int i = 0; i < 500 && running(control) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return running(control) == 0;
}

const char* fastTree = R"({"clock": "fast", "devices": [
    {"handle": 1, "kind": "adapter"},
    {"handle": 2, "parent": 1, "kind": "tracker", "unplugAt": 0.5},
    {"handle": 3, "parent": 1, "kind": "tracker", "plugAt": 0.2, "product": 9},
    {"handle": 4, "kind": "adapter", "vendor": 4660},
    {"handle": 5, "parent": 4, "kind": "tracker"}]})";

} // namespace

TEST(SimulatedNetwork, DefaultScenarioTree) {
    Loaded l = loadSimulation("");
    ASSERT_TRUE(l.network);
    ASSERT_TRUE(l.control);
    EXPECT_EQ(nodes(l.network.get()), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(parent(l.network.get(), 1), 0u);
    EXPECT_EQ(parent(l.network.get(), 2), 1u);
    EXPECT_EQ(parent(l.network.get(), 3), 1u);
    EXPECT_EQ(parent(l.network.get(), 0), 0u);
    Boolean fast = 1;
    check(l.control.get(), l.control->isFastClock(&fast));
    EXPECT_EQ(fast, 0u);
    EXPECT_EQ(l.control->advance(0.1), E_FAIL_CODE);
}

TEST(SimulatedNetwork, TaskSupportAndUnusedSlots) {
    Loaded l = loadSimulation("");
    INodeNetwork* n = l.network.get();
    const InterfaceId unknown = makeInterfaceId("00000000-1111-2222-3333-444444444444");
    EXPECT_TRUE(supports(n, 2, DeviceSimulator::trackingTaskId));
    EXPECT_TRUE(supports(n, 2, DeviceSimulator::debugTaskId));
    EXPECT_FALSE(supports(n, 2, unknown));
    EXPECT_FALSE(supports(n, 1, DeviceSimulator::trackingTaskId));  // adapters run no task
    EXPECT_FALSE(supports(n, 0, DeviceSimulator::trackingTaskId));
    EXPECT_FALSE(supports(n, 77, DeviceSimulator::trackingTaskId));
    EXPECT_EQ(n->reserved4(), E_NOTIMPL_CODE);
    EXPECT_EQ(n->reserved6(), E_NOTIMPL_CODE);
    EXPECT_EQ(n->reserved9(), E_NOTIMPL_CODE);
    EXPECT_EQ(n->reserved11(), E_NOTIMPL_CODE);
    EXPECT_EQ(n->reserved12(), E_NOTIMPL_CODE);
    EXPECT_EQ(l.library->reserved4(), E_NOTIMPL_CODE);
    EXPECT_EQ(l.library->setSetting(5), E_INVALIDARG_CODE);
    try {
        check(l.library.get(), l.library->setSetting(5));
        FAIL() << "setting 5 accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Unknown setting 5");
    }
    // A task the node cannot run: no device side, and the host's connection is released.
    auto record = std::make_shared<HostRecord>();
    EXPECT_FALSE(start(n, 1, DeviceSimulator::trackingTaskId, record));
    EXPECT_TRUE(record->released);
    // Properties: an unknown key fails.
    std::string bytes;
    OutArray out = outArray(bytes);
    InArray key = inArray(std::string_view("sys/Nothing.b"));
    EXPECT_EQ(n->readProperty(2, &key, &out), E_FAIL_CODE);
}

TEST(SimulatedNetwork, FilterHidesDevicesAndWhatHangsOnThem) {
    Loaded l = loadSimulation(fastTree);
    EXPECT_EQ(nodes(l.network.get()), (std::vector<uint32_t>{1, 2}));  // 3 plugs in at 0.2; 4 is not named
    EXPECT_EQ(parent(l.network.get(), 5), 0u);
    Loaded exact = loadSimulation(fastTree, {{0x3237, 2}, {0x0301, 0}});
    check(exact.control.get(), exact.control->advance(0.3));
    EXPECT_EQ(nodes(exact.network.get()), (std::vector<uint32_t>{1, 2}));  // 3 has product 9
    Loaded none = loadSimulation(fastTree, {});
    EXPECT_TRUE(nodes(none.network.get()).empty());
}

TEST(SimulatedNetwork, PlugAndUnplugChangeTheUpdateId) {
    Loaded l = loadSimulation(fastTree);
    INodeNetwork* n = l.network.get();
    uint32_t atStart = updateId(n);
    check(l.control.get(), l.control->advance(0.1));
    EXPECT_EQ(updateId(n), atStart);
    check(l.control.get(), l.control->advance(0.1));  // 0.2: tracker 3 arrives
    uint32_t afterPlug = updateId(n);
    EXPECT_NE(afterPlug, atStart);
    EXPECT_EQ(nodes(n), (std::vector<uint32_t>{1, 2, 3}));
    check(l.control.get(), l.control->advance(0.3));  // 0.5: tracker 2 goes
    EXPECT_NE(updateId(n), afterPlug);
    EXPECT_EQ(nodes(n), (std::vector<uint32_t>{1, 3}));
    EXPECT_FALSE(supports(n, 2, DeviceSimulator::trackingTaskId));
    double time = 0;
    check(l.control.get(), l.control->getTime(&time));
    EXPECT_DOUBLE_EQ(time, 0.5);
}

TEST(SimulatedNetwork, InvalidScenarioIsANetworkWithoutDevices) {
    Loaded l = loadSimulation(R"({"devices": [{"handle": 1, "kind": "adapter", "unplugAt": -1}]})");
    ASSERT_TRUE(l.network);
    EXPECT_TRUE(nodes(l.network.get()).empty());
    Loaded bad = loadSimulation("not json at all");
    ASSERT_TRUE(bad.network);
    EXPECT_TRUE(nodes(bad.network.get()).empty());
}

TEST(SimulatedNetwork, TrackingTaskDeliversInTimeOrderFromItsOwnThread) {
    Loaded l = loadSimulation(R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
                        {"handle": 2, "parent": 1, "kind": "tracker"}]})");
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), 2, DeviceSimulator::trackingTaskId, record);
    ASSERT_TRUE(device);
    check(l.control.get(), l.control->advance(0.1));
    auto packets = record->take();
    int counts[26] = {};
    double last = -1;
    for (const auto& p : packets) {
        ASSERT_LT(p.id, 26);
        ++counts[p.id];
        EXPECT_GE(p.time, last);
        last = p.time;
    }
    // 0 to 0.1 s: temperatures at 0 and 0.1, inertial samples 1..200, frames 0..20.
    EXPECT_EQ(counts[1], 2);
    EXPECT_EQ(counts[2], 200);
    EXPECT_EQ(counts[5], 200);
    EXPECT_EQ(counts[0], 21);
    EXPECT_DOUBLE_EQ(last, 0.1);
    EXPECT_NE(record->deliveryThread, std::this_thread::get_id());
    // Host packets: exposure accepted, wrong size and unknown ids refused.
    int32_t exposure = 20;
    DeviceNetwork::Packet good{9, &exposure, 4}, shortPacket{9, &exposure, 2}, unknown{3, nullptr, 0};
    EXPECT_EQ(device->onPacket(&good, 0), S_OK_CODE);
    EXPECT_EQ(device->onPacket(&shortPacket, 0), E_INVALIDARG_CODE);
    EXPECT_EQ(device->onPacket(&unknown, 0), E_NOTIMPL_CODE);
    EXPECT_EQ(device->onPacket(nullptr, 0), E_INVALIDARG_CODE);

    // Releasing the device side ends the task; its thread lets go of the host connection.
    device.reset();
    EXPECT_TRUE(waitUntilNoTasks(l.control.get()));
    ASSERT_TRUE(record->waitFor([](HostRecord& r) { return r.released; }));
    EXPECT_NE(record->releaseThread, std::this_thread::get_id());
    EXPECT_EQ(record->releaseThread, record->deliveryThread);
}

TEST(SimulatedNetwork, UnplugEndsTheTaskFromItsThread) {
    Loaded l = loadSimulation(fastTree);
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), 2, DeviceSimulator::trackingTaskId, record);
    ASSERT_TRUE(device);
    check(l.control.get(), l.control->advance(1.0));  // tracker 2 is unplugged at 0.5
    ASSERT_TRUE(record->waitFor([](HostRecord& r) { return r.released; }));
    EXPECT_NE(record->releaseThread, std::this_thread::get_id());
    for (const auto& p : record->take())
        EXPECT_LE(p.time, 0.5);
    int32_t exposure = 20;
    DeviceNetwork::Packet late{9, &exposure, 4};
    EXPECT_EQ(device->onPacket(&late, 0), E_FAIL_CODE);  // "Task is finished"
    EXPECT_EQ(running(l.control.get()), 0u);
}

TEST(SimulatedNetwork, ReleasingEverythingWhileATaskRunsEndsIt) {
    auto record = std::make_shared<HostRecord>();
    {
        Loaded l = loadSimulation("");
        Ref<IDataReceiver> device = start(l.network.get(), 3, DeviceSimulator::trackingTaskId, record);
        ASSERT_TRUE(device);
        ASSERT_TRUE(record->waitFor([](HostRecord& r) { return r.packets.size() > 50; }));
    }
    // The last reference (the device side) went with the library and the network: the task
    // thread ended and released the host.
    EXPECT_TRUE(record->waitFor([](HostRecord& r) { return r.released; }));
}

TEST(SimulatedNetwork, RealTimeRunsAtTheWallClock) {
    Loaded l = loadSimulation("");
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), 2, DeviceSimulator::trackingTaskId, record);
    auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    int gyro = 0;
    for (const auto& p : record->take())
        gyro += p.id == 2;
    // 2000 samples per second, within the delivery period and scheduling slack.
    EXPECT_NEAR(gyro, elapsed * 2000, 60);
}

TEST(SimulatedNetwork, GroundTruthFollowsTheTrajectory) {
    Loaded l = loadSimulation(R"({"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker",
         "trajectory": {"kind": "circle", "centre": [0, 1.5, 0], "radius": 2, "period": 8}}]})");
    double pose[7];
    check(l.control.get(), l.control->getGroundTruth(2, 2.0, pose));  // a quarter lap: (0, 1.5, 2)
    EXPECT_NEAR(pose[0], 0.0, 1e-12);
    EXPECT_NEAR(pose[1], 1.5, 1e-12);
    EXPECT_NEAR(pose[2], 2.0, 1e-12);
    EXPECT_NEAR(pose[3] * pose[3] + pose[4] * pose[4] + pose[5] * pose[5] + pose[6] * pose[6], 1.0, 1e-12);
    EXPECT_EQ(l.control->getGroundTruth(1, 0.0, pose), E_INVALIDARG_CODE);
}

TEST(SimulatedNetwork, GroundTruthCsvHasOneRowPerFrame) {
    std::string csv = testing::TempDir() + "truth.csv";
    // A Windows temporary folder has backslashes, which JSON text escapes.
    std::string csvInJson;
    for (char c : csv)
        csvInJson += c == '\\' ? std::string("\\\\") : std::string(1, c);
    Loaded l = loadSimulation(R"({"clock": "fast", "groundTruthCsv": ")" + csvInJson + R"(", "devices": [
        {"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "frameRate": 100,
         "trajectory": {"kind": "circle", "radius": 1, "period": 4}}]})");
    auto record = std::make_shared<HostRecord>();
    Ref<IDataReceiver> device = start(l.network.get(), 2, DeviceSimulator::trackingTaskId, record);
    check(l.control.get(), l.control->advance(0.05));
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "time,node,x,y,z,qx,qy,qz,qw");
    int rows = 0;
    while (std::getline(in, line)) {
        double v[9];
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3], &v[4],
                              &v[5], &v[6], &v[7], &v[8]),
                  9)
            << line;
        EXPECT_NEAR(v[0], rows * 0.01, 1e-9);
        EXPECT_EQ(v[1], 2.0);
        double pose[7];
        check(l.control.get(), l.control->getGroundTruth(2, v[0], pose));
        for (int k = 0; k < 7; ++k)
            EXPECT_NEAR(v[2 + k], pose[k], 1e-8);
        ++rows;
    }
    EXPECT_EQ(rows, 6);  // frames at 0, 0.01, ..., 0.05
}

TEST(SimulatedNetwork, TrackersHandOutTheirCalibration) {
    Loaded l = loadSimulation("");
    auto read = [&](uint32_t node, std::string_view name, std::string& bytes) {
        OutArray out = outArray(bytes);
        InArray key = inArray(name);
        return l.network->readProperty(node, &key, &out);
    };
    std::string geometry, angle, none;
    ASSERT_EQ(read(2, "sys/GeometrySettings.b", geometry), S_OK_CODE);
    EXPECT_EQ(geometry.size(), 1u + 442u * 8u);  // version varint 2, then 442 doubles
    EXPECT_EQ(geometry[0], '\x02');
    ASSERT_EQ(read(3, "sys/MaximumViewAngle.b", angle), S_OK_CODE);
    ASSERT_EQ(angle.size(), 4u);
    float radians;
    std::memcpy(&radians, angle.data(), 4);
    EXPECT_FLOAT_EQ(radians, 1.30f);
    EXPECT_EQ(read(1, "sys/MaximumViewAngle.b", none), E_FAIL_CODE);   // adapters have no camera
    EXPECT_EQ(read(77, "sys/MaximumViewAngle.b", none), E_FAIL_CODE);  // no such node
}
