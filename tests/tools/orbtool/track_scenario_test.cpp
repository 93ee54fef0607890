// orbtool track writes the scenario it was given back to a file for the simulated network: the
// file must describe the same devices, down to every tracker field.

#include <gtest/gtest.h>

#include "tools/orbtool/TrackScenario.h"

using namespace Kestrel::DeviceSimulator;

namespace {

// One adapter and two trackers, with values away from every default.
const char scenarioText[] = R"({
  "clock": "fast", "seed": 7,
  "devices": [
    {"handle": 1, "kind": "adapter"},
    {"handle": 2, "parent": 1, "kind": "tracker", "environment": "AAZTaW5nbGUIAADAP6uqqj4=", "imuDelayMs": 10,
     "plugAt": 0.5, "unplugAt": 12, "frameRate": 120,
     "trajectory": {"kind": "static", "jitter": true, "jitterAngle": 0.05, "jitterPosition": 0.002},
     "noise": {"centroid": 0.25, "dropout": 0.01, "spurious": 0.5, "reflections": 3, "occlusion": 0,
               "gyroscope": 0.001, "gyroscopeBias": 0.002, "accelerometer": 0.03, "accelerometerBias": 0.04},
     "faults": {"covered": [7, {"tile": [3, 2], "marker": 2}], "lostFrames": 0.03, "exposureGain": 20,
                "lamps": [{"position": [1, 2.5, -1], "brightness": 4, "flickerHz": 9}],
                "inertialGaps": {"perSecond": 0.5, "samples": 25}}},
    {"handle": 3, "parent": 1, "kind": "tracker", "imuDelayMs": -2.5,
     "trajectory": {"kind": "circle", "look": [0, 0.8, 0.6]}}
  ]
})";

} // namespace

TEST(TrackScenario, WrittenBackTheScenarioKeepsEveryTrackerField) {
    const Scenario given = parseScenario(scenarioText);
    const Scenario written = parseScenario(OrbTool::scenarioJson(given));
    EXPECT_EQ(ClockKind::Fast, written.clock);
    EXPECT_EQ(7u, written.seed);
    ASSERT_EQ(3u, written.devices.size());
    EXPECT_EQ(DeviceKind::Adapter, written.devices[0].kind);

    const ScenarioDevice& late = written.devices[1];
    EXPECT_EQ(2u, late.handle);
    EXPECT_EQ(1u, late.parent);
    EXPECT_DOUBLE_EQ(10.0, late.imuDelayMs);
    EXPECT_DOUBLE_EQ(0.5, late.plugAt);
    EXPECT_DOUBLE_EQ(12.0, late.unplugAt);
    EXPECT_DOUBLE_EQ(120.0, late.frameRate);
    EXPECT_EQ("AAZTaW5nbGUIAADAP6uqqj4=", late.environment);
    EXPECT_TRUE(late.trajectory.jitter);
    EXPECT_DOUBLE_EQ(0.05, late.trajectory.jitterAngle);
    EXPECT_DOUBLE_EQ(0.002, late.trajectory.jitterPosition);
    EXPECT_DOUBLE_EQ(0.25, late.optical.centroid);
    EXPECT_DOUBLE_EQ(0.01, late.optical.dropout);
    EXPECT_DOUBLE_EQ(0.5, late.optical.spurious);
    EXPECT_EQ(3, late.optical.reflections);
    EXPECT_DOUBLE_EQ(0.0, late.optical.occlusion);
    EXPECT_DOUBLE_EQ(0.001, late.imu.gyroscopeNoise);
    EXPECT_DOUBLE_EQ(0.002, late.imu.gyroscopeBias);
    EXPECT_DOUBLE_EQ(0.03, late.imu.accelerometerNoise);
    EXPECT_DOUBLE_EQ(0.04, late.imu.accelerometerBias);

    const DeviceFaults& faults = late.faults;
    ASSERT_EQ(2u, faults.covered.size());
    EXPECT_EQ(7, faults.covered[0].index);
    EXPECT_FALSE(faults.covered[0].byTile());
    EXPECT_EQ(3, faults.covered[1].tileX);
    EXPECT_EQ(2, faults.covered[1].tileY);
    EXPECT_EQ(2, faults.covered[1].marker);
    EXPECT_DOUBLE_EQ(0.03, faults.lostFrames);
    EXPECT_DOUBLE_EQ(20.0, faults.exposureGain);
    ASSERT_EQ(1u, faults.lamps.size());
    EXPECT_DOUBLE_EQ(2.5, faults.lamps[0].position[1]);
    EXPECT_DOUBLE_EQ(4.0, faults.lamps[0].brightness);
    EXPECT_DOUBLE_EQ(9.0, faults.lamps[0].flickerHz);
    EXPECT_DOUBLE_EQ(0.5, faults.inertialGaps.perSecond);
    EXPECT_EQ(25, faults.inertialGaps.samples);

    // A negative delay (inertial data ahead of the camera), the default floor and the camera's
    // direction survive too; a tracker without faults gets none.
    EXPECT_DOUBLE_EQ(-2.5, written.devices[2].imuDelayMs);
    EXPECT_EQ(given.devices[2].environment, written.devices[2].environment);
    EXPECT_DOUBLE_EQ(0.8, written.devices[2].trajectory.look[1]);
    EXPECT_DOUBLE_EQ(0.6, written.devices[2].trajectory.look[2]);
    EXPECT_TRUE(written.devices[2].faults.covered.empty() && written.devices[2].faults.lamps.empty());
    EXPECT_EQ(0.0, written.devices[2].faults.lostFrames);
}
