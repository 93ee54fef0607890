#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "device_simulator/scene/NodeTree.h"
#include "device_simulator/scene/Scenario.h"
#include "interface_contract/DebugLog.h"
#include "tests/EnvironmentVariables.h"

using namespace Kestrel::DeviceSimulator;
using Kestrel::DeviceNetwork::DeviceType;

namespace {

std::string errorOf(const std::string& json) {
    try {
        parseScenario(json);
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "(no error)";
}

const char* fullScenario = R"({
  "clock": "fast", "seed": 17, "groundTruthCsv": "/tmp/truth.csv",
  "devices": [
    {"handle": 5, "kind": "adapter", "vendor": "0x0301", "product": 1},
    {"handle": 9, "parent": 5, "kind": "tracker", "vendor": 12855, "product": 2,
     "plugAt": 1.5, "unplugAt": 30, "environment": "AAZTaW5nbGUIAADAP6uqqj4=", "frameRate": 120,
     "imuDelayMs": 12.5,
     "trajectory": {"kind": "figureEight", "centre": [0.5, 1.7, -0.2], "radius": 1.2, "period": 9,
                    "jitter": true, "jitterPosition": 0.002},
     "noise": {"centroid": 0.25, "dropout": 0.01, "spurious": 0.5, "reflections": 0,
               "gyroscope": 0.3, "gyroscopeBias": 0.1, "accelerometer": 0.004, "accelerometerBias": 0.01}}
  ]})";

} // namespace

TEST(Scenario, DefaultEnvironmentIsThePuzzleFloor) {
    // base64 of 00, 05 "Rigid", 26 then the payload 00, 06 "puzzle", 06, 06, 09 and the nine
    // tiles (x, y, turn) 3,4,0 3,2,3 2,0,3 5,5,0 1,4,3 0,5,3 0,1,3 5,0,0 4,2,3 (computed
    // separately).
    EXPECT_EQ(defaultEnvironmentCode(), "AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==");
    Scenario s = defaultScenario();
    ASSERT_EQ(s.devices.size(), 3u);
    EXPECT_EQ(s.clock, ClockKind::RealTime);
    EXPECT_EQ(s.devices[0].kind, DeviceKind::Adapter);
    EXPECT_EQ(s.devices[1].trajectory.kind, TrajectoryKind::Circle);
    EXPECT_NEAR(s.devices[1].trajectory.centre[1], 1.68, 1e-12);
    EXPECT_EQ(s.devices[1].environment, defaultEnvironmentCode());
    EXPECT_EQ(s.devices[2].trajectory.kind, TrajectoryKind::Static);
    EXPECT_EQ(s.devices[2].environment, defaultEnvironmentCode());
    EXPECT_NEAR(s.devices[2].trajectory.centre[1], 1.68, 1e-12);
    EXPECT_EQ(s.devices[2].parent, 1u);
}

TEST(Scenario, ReadsEveryField) {
    Scenario s = parseScenario(fullScenario);
    EXPECT_EQ(s.clock, ClockKind::Fast);
    EXPECT_EQ(s.seed, 17u);
    EXPECT_EQ(s.groundTruthCsv, "/tmp/truth.csv");
    ASSERT_EQ(s.devices.size(), 2u);
    EXPECT_EQ(s.devices[0].vendor, 0x0301);
    const ScenarioDevice& t = s.devices[1];
    EXPECT_EQ(t.handle, 9u);
    EXPECT_EQ(t.parent, 5u);
    EXPECT_EQ(t.vendor, 0x3237);
    EXPECT_DOUBLE_EQ(t.plugAt, 1.5);
    EXPECT_DOUBLE_EQ(t.unplugAt, 30.0);
    EXPECT_DOUBLE_EQ(t.frameRate, 120.0);
    EXPECT_DOUBLE_EQ(t.imuDelayMs, 12.5);
    EXPECT_DOUBLE_EQ(s.devices[0].imuDelayMs, 0.0);  // the default
    EXPECT_EQ(t.trajectory.kind, TrajectoryKind::FigureEight);
    EXPECT_DOUBLE_EQ(t.trajectory.centre[2], -0.2);
    EXPECT_DOUBLE_EQ(t.trajectory.radius, 1.2);
    EXPECT_TRUE(t.trajectory.jitter);
    EXPECT_DOUBLE_EQ(t.trajectory.jitterPosition, 0.002);
    EXPECT_DOUBLE_EQ(t.optical.centroid, 0.25);
    EXPECT_EQ(t.optical.reflections, 0);
    EXPECT_DOUBLE_EQ(t.imu.accelerometerBias, 0.01);
}

TEST(Scenario, ErrorsNameTheField) {
    EXPECT_EQ(errorOf("{").rfind("(document): not valid JSON", 0), 0u);
    EXPECT_EQ(errorOf("{\"devices\": [}"), "(document): not valid JSON at line 1, column 14: expected a value");
    EXPECT_EQ(errorOf("[]"), "(document): expected an object");
    EXPECT_EQ(errorOf(R"({"clock": "slow", "devices": []})"), "clock: expected \"realtime\" or \"fast\"");
    EXPECT_EQ(errorOf(R"({"clock": "fast"})"), "devices: expected an array of devices");
    EXPECT_EQ(errorOf(R"({"devices": [], "colck": 1})"), "colck: unknown field");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 1, "kind": "mouse"}]})"),
              "devices[0].kind: expected \"adapter\" or \"tracker\"");
    EXPECT_EQ(errorOf(R"({"devices": [{"kind": "adapter"}]})"), "devices[0].handle: missing");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 0, "kind": "adapter"}]})"), "devices[0].handle: 0 is the host");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 1, "kind": "adapter"}, {"handle": 1, "kind": "adapter"}]})"),
              "devices[1].handle: 1 used twice");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "parent": 7, "kind": "tracker"}]})"),
              "devices[0].parent: 7 is not an adapter listed before this device");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "plugAt": 5, "unplugAt": 5}]})"),
              "devices[0].unplugAt: must be later than plugAt");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "trajektory": {}}]})"),
              "devices[0].trajektory: unknown field");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "trajectory": {"kind": "spiral"}}]})"),
              "devices[0].trajectory.kind: expected \"static\", \"circle\", \"figureEight\", \"randomWalk\" or \"spin\"");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "trajectory": {"kind": "static", "centre": [1, 2]}}]})"),
              "devices[0].trajectory.centre: expected an array of 3 numbers");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "noise": {"dropout": 2}}]})"),
              "devices[0].noise.dropout: value 2.000000 outside 0.000000..1.000000");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "adapter", "frameRate": 100}]})"),
              "devices[0].frameRate: only trackers have this field");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "adapter", "imuDelayMs": 5}]})"),
              "devices[0].imuDelayMs: only trackers have this field");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "imuDelayMs": 1500}]})"),
              "devices[0].imuDelayMs: value 1500.000000 outside -1000.000000..1000.000000");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2.5, "kind": "adapter"}]})"),
              "devices[0].handle: expected an integer in 0..4294967295");
    for (const char* text : {"12abc", "-1", "0x", "", "0x1FFFFFFFFFFFFFFFF"})
        EXPECT_EQ(errorOf(std::string(R"({"devices": [{"kind": "adapter", "handle": ")") + text + "\"}]}"),
                  "devices[0].handle: expected an integer")
            << text;
}

// The faults and the camera's direction: what they read, and what they refuse.
TEST(Scenario, FaultsAndLook) {
    const Scenario s = parseScenario(R"({"devices": [{"handle": 2, "kind": "tracker",
        "trajectory": {"kind": "randomWalk", "look": "up"},
        "faults": {"covered": [3, {"tile": [1, 4]}], "lamps": [{"position": [1, 0, 2]}]}}]})");
    const ScenarioDevice& d = s.devices[0];
    EXPECT_EQ(d.trajectory.look[1], 1.0);
    ASSERT_EQ(d.faults.covered.size(), 2u);
    EXPECT_EQ(d.faults.covered[0].index, 3);
    EXPECT_EQ(d.faults.covered[1].tileY, 4);
    EXPECT_EQ(d.faults.covered[1].marker, 0);
    EXPECT_EQ(d.faults.covered[1].index, -1);  // until the environment names it
    EXPECT_EQ(d.faults.lamps[0].brightness, 1.0);
    EXPECT_EQ(d.faults.lamps[0].flickerHz, 0.0);
    EXPECT_EQ(parseScenario(fullScenario).devices[1].trajectory.look[1], -1.0);  // looking down

    const std::string tracker = R"({"devices": [{"handle": 2, "kind": "tracker", )";
    EXPECT_EQ(errorOf(tracker + R"("trajectory": {"kind": "circle", "look": "sideways"}}]})"),
              "devices[0].trajectory.look: expected \"down\", \"up\" or a direction [x, y, z]");
    EXPECT_EQ(errorOf(tracker + R"("trajectory": {"kind": "circle", "look": [0, 0, 0]}}]})"),
              "devices[0].trajectory.look: expected a non-zero direction");
    EXPECT_EQ(errorOf(tracker + R"("trajectory": {"kind": "static", "look": "up"}}]})").rfind(
                  "devices[0].trajectory.look: only moving paths", 0),
              0u);
    EXPECT_EQ(errorOf(tracker + R"("faults": {"covered": [-1]}}]})"),
              "devices[0].faults.covered[0]: expected a marker index 0..1000000");
    EXPECT_EQ(errorOf(tracker + R"("faults": {"covered": [{"tile": [1, 2], "marker": 3}]}}]})"),
              "devices[0].faults.covered[0].marker: expected an integer in 0..2");
    EXPECT_EQ(errorOf(tracker + R"("faults": {"lamps": [{"brightness": 2}]}}]})"),
              "devices[0].faults.lamps[0].position: missing");
    EXPECT_EQ(errorOf(tracker + R"("faults": {"lamps": [{"position": [0, 0, 0], "colour": 1}]}}]})"),
              "devices[0].faults.lamps[0].colour: unknown field");
    EXPECT_EQ(errorOf(tracker + R"("faults": {"inertialGaps": {"perSecond": 1}}}]})"),
              "devices[0].faults.inertialGaps.samples: missing (samples per gap, 1..2000)");
    EXPECT_EQ(errorOf(tracker + R"("faults": {"lostFrames": 1.5}}]})"),
              "devices[0].faults.lostFrames: value 1.500000 outside 0.000000..1.000000");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "adapter", "faults": {}}]})"),
              "devices[0].faults: only trackers have this field");
}

TEST(Scenario, UnreadableFileGivesOneLogLineAndNoDevices) {
    std::vector<std::string> lines;
    auto previous = Kestrel::setDebugLogSink([&](const std::string& line) { lines.push_back(line); });
    setenv("KESTREL_SIMULATION", "/nonexistent/scenario.json", 1);
    Scenario s = loadScenario();
    std::string path = testing::TempDir() + "bad_scenario.json";
    std::ofstream(path) << R"({"devices": [{"handle": 1, "kind": "adapter", "vendor": -3}]})";
    setenv("KESTREL_SIMULATION", path.c_str(), 1);
    Scenario bad = loadScenario();
    setenv("KESTREL_SIMULATION", "", 1);
    Scenario fallback = loadScenario();
    unsetenv("KESTREL_SIMULATION");
    Kestrel::setDebugLogSink(previous);
    EXPECT_TRUE(s.devices.empty());
    EXPECT_TRUE(bad.devices.empty());
    EXPECT_EQ(fallback.devices.size(), 3u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "KestrelDeviceNetwork: invalid scenario /nonexistent/scenario.json: (file): cannot be read");
    EXPECT_EQ(lines[1], "KestrelDeviceNetwork: invalid scenario " + path +
                            ": devices[0].vendor: expected an integer in 0..65535");
}

TEST(NodeTree, FilterPlugTimesAndUpdateId) {
    Scenario s = parseScenario(R"({"devices": [
        {"handle": 1, "kind": "adapter", "unplugAt": 20},
        {"handle": 2, "parent": 1, "kind": "tracker", "plugAt": 5},
        {"handle": 3, "parent": 1, "kind": "tracker", "product": 7, "unplugAt": 10},
        {"handle": 4, "kind": "adapter", "vendor": 4660},
        {"handle": 6, "parent": 4, "kind": "tracker"}]})");
    NodeTree tree(s.devices, {DeviceType{adapterVendor, 0}, DeviceType{trackerVendor, 0}});
    EXPECT_EQ(tree.nodesAt(0), (std::vector<uint32_t>{1, 3}));  // 4 is not named, so 6 is unreachable
    EXPECT_EQ(tree.nodesAt(5), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(tree.nodesAt(10), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(tree.nodesAt(20), (std::vector<uint32_t>{}));  // the adapter takes its tracker along
    EXPECT_EQ(tree.parentOf(2), 1u);
    EXPECT_EQ(tree.parentOf(6), 0u);
    EXPECT_EQ(tree.parentOf(77), 0u);
    EXPECT_EQ(tree.removalTime(2), 20.0);
    std::vector<uint32_t> ids;
    for (double t : {0.0, 4.9, 5.0, 9.9, 10.0, 19.9, 20.0, 100.0})
        ids.push_back(tree.updateIdAt(t));
    EXPECT_EQ(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_EQ(ids[2], ids[3]);
    EXPECT_NE(ids[3], ids[4]);
    EXPECT_EQ(ids[4], ids[5]);
    EXPECT_NE(ids[5], ids[6]);
    EXPECT_EQ(ids[6], ids[7]);
    EXPECT_NE(ids[0], 0xFFFFFFFFu);  // reads as -1, "no network", on the program's side

    // Product 0 in the filter matches any product, a named product only itself.
    NodeTree exact(s.devices, {DeviceType{adapterVendor, 1}, DeviceType{trackerVendor, 2}});
    EXPECT_EQ(exact.nodesAt(6), (std::vector<uint32_t>{1, 2}));
    NodeTree none(s.devices, {});
    EXPECT_TRUE(none.nodesAt(6).empty());
}

TEST(Scenario, ExampleFilesAreValid) {
    int files = 0;
    for (const char* name : {"static", "circle", "figure-eight", "random-walk", "spin"}) {
        std::ifstream in(std::string(ORB_SOURCE_DIR "/device_simulator/scenarios/") + name + ".json");
        ASSERT_TRUE(in) << name;
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Scenario s = parseScenario(text);
        EXPECT_GE(s.devices.size(), 2u) << name;
        ++files;
    }
    EXPECT_EQ(files, 5);
}
