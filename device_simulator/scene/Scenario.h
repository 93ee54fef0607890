#pragma once
// What the simulated network simulates: the clock, the seed, where ground truth goes, and the
// devices with their place in the tree, plug times, environment, motion and noise. Read from
// the JSON file named by KESTREL_SIMULATION, else the built-in default.

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "device_simulator/scene/DeviceFaults.h"
#include "device_simulator/scene/ImuModel.h"
#include "device_simulator/scene/Trajectory.h"

namespace Kestrel::DeviceSimulator {

enum class ClockKind { RealTime, Fast };
enum class DeviceKind { Adapter, Tracker };

struct OpticalNoise {
    double centroid = 0.1;      // pixels, standard deviation of a blob centre per axis
    double dropout = 0.002;     // probability that a visible blob is missing from a frame
    double spurious = 0.01;     // expected number of one-frame spurious blobs per frame
    int reflections = 12;        // fixed reflections of room lights on the floor, seen like markers
    double occlusion = 0.3;     // occluders (a hand, a cable) passing the camera per second
};

// Where one bar of a self-refining ("Quad") environment really lies on the floor: its centre
// (x, z) and its heading, radians from +x towards +z. The environment code gives only the
// bar's shape; the layout is what the tracker learns.
struct BarPlacement {
    double x = 0;
    double z = 0;
    double heading = 0;
};

struct ScenarioDevice {
    uint32_t handle = 0;
    uint32_t parent = 0;
    DeviceKind kind = DeviceKind::Tracker;
    uint16_t vendor = 0;
    uint16_t product = 0;
    double plugAt = 0;
    double unplugAt = std::numeric_limits<double>::infinity();
    std::string environment;    // environment code of the markers this tracker sees
    std::vector<BarPlacement> barPoses;  // a "Quad" environment's four bars, sides 0..3
    TrajectorySpec trajectory;
    double frameRate = 200;
    OpticalNoise optical;
    ImuNoise imu;
    double imuDelayMs = 0;      // the inertial samples lag the camera by this much (negative: lead)
    std::string replay;         // recording (.orbrec) whose properties and packets the tracker plays back
    bool loop = false;          // replay: start again after the last packet
    DeviceFaults faults;
};

struct Scenario {
    ClockKind clock = ClockKind::RealTime;
    uint64_t seed = 1;
    std::string groundTruthCsv;  // empty: none written
    std::vector<ScenarioDevice> devices;
};

// A scenario that cannot be used; the message starts with the offending field's path.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr uint16_t adapterVendor = 0x0301;
constexpr uint16_t adapterProduct = 0x0001;
constexpr uint16_t trackerVendor = 0x3237;
constexpr uint16_t trackerProduct = 0x0002;

// Environment code of the default tile floor: a 6 by 6 "puzzle" layout of 0.6 m tiles centred
// on the origin (a legacy rigid code naming the preset). Trackers without an environment of
// their own see it.
const std::string& defaultEnvironmentCode();

// One adapter (handle 1) with two trackers over the default floor: 2 walks a circle of 1 m at
// head height, 3 stands still at head height; real-time clock.
Scenario defaultScenario();

// Parses the JSON text of a scenario; throws ScenarioError naming the field. Relative replay
// paths are taken from `folder` (the scenario file's), else from the working directory.
Scenario parseScenario(const std::string& json, const std::string& folder = {});

// The scenario named by KESTREL_SIMULATION, or the default when the variable is unset or empty.
// A file that cannot be read or parsed gives one debug-log line naming the field and a scenario
// without devices.
Scenario loadScenario();

} // namespace Kestrel::DeviceSimulator
