// The simulator's scenario JSON. A scenario that parses has its trajectories built and
// sampled: every pose of a parsed scenario must be finite.
//
// Input: the JSON text.

#include <cmath>

#include "FuzzInput.h"
#include "QuietLog.h"
#include "device_simulator/scene/Scenario.h"

using namespace Kestrel::DeviceSimulator;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDebugLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    Scenario scenario;
    try {
        scenario = parseScenario(std::string(in.rest()), "/nonexistent-scenario-folder");
    } catch (const ScenarioError&) {
        return 0;
    }
    for (const ScenarioDevice& device : scenario.devices) {
        if (device.kind != DeviceKind::Tracker)
            continue;
        auto trajectory = makeTrajectory(device.trajectory, scenario.seed);
        for (double t : {0.0, 0.25, 7.5, 600.0}) {
            const Pose pose = trajectory->poseAt(t);
            for (int i = 0; i < 3; ++i)
                if (!std::isfinite(pose.position[i]))
                    __builtin_trap();
        }
    }
    return 0;
}
