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
               "gyroscope": 0.001, "gyroscopeBias": 0.002, "accelerometer": 0.03, "accelerometerBias": 0.04}},
    {"handle": 3, "parent": 1, "kind": "tracker", "imuDelayMs": -2.5}
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

    // A negative delay (inertial data ahead of the camera) and the default floor survive too.
    EXPECT_DOUBLE_EQ(-2.5, written.devices[2].imuDelayMs);
    EXPECT_EQ(given.devices[2].environment, written.devices[2].environment);
}
