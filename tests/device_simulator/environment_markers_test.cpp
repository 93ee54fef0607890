// Markers of the simulated room for each environment kind, and the example scenario of a
// self-refining quadrangle with its bars placed by the scenario.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <stdexcept>

#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/scene/Scenario.h"

using namespace Kestrel::DeviceSimulator;

namespace {

constexpr double pi = 3.14159265358979323846;
// "Quad", bar length 1.5, middle ratio 0.3 (base64 of 00 04 "Quad" 08 and the two floats,
// computed separately).
const char* quadCode = "AARRdWFkCAAAwD+amZk+";
// "Single", bar length 1.5, middle ratio 1/3.
const char* singleCode = "AAZTaW5nbGUIAADAP6uqqj4=";

} // namespace

TEST(EnvironmentMarkers, QuadBarsArePlacedWhereTheScenarioSays) {
    const std::vector<Vec3> markers = environmentMarkers(quadCode, {{0.12, -0.08, 0}, {1.5, 1.5, pi / 2}, {0, 3, pi}, {-1.5, 1.5, -pi / 2}});
    ASSERT_EQ(markers.size(), 12u);
    // Along each bar: -0.75, -0.75 + 0.45 = -0.3, +0.75.
    const double expected[12][3] = {{-0.63, 0, -0.08}, {-0.18, 0, -0.08}, {0.87, 0, -0.08},  // side 0 along +x
                                    {1.5, 0, 0.75},    {1.5, 0, 1.2},     {1.5, 0, 2.25},    // side 1 along +z
                                    {0.75, 0, 3},      {0.3, 0, 3},       {-0.75, 0, 3},     // side 2 along -x
                                    {-1.5, 0, 2.25},   {-1.5, 0, 1.8},    {-1.5, 0, 0.75}};  // side 3 along -z
    for (int i = 0; i < 12; ++i)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(markers[i][axis], expected[i][axis], 1e-6) << "marker " << i << " axis " << axis;
}

TEST(EnvironmentMarkers, BarPosesBelongToQuadCodesOnly) {
    EXPECT_THROW(environmentMarkers(quadCode), std::runtime_error);
    EXPECT_THROW(environmentMarkers(quadCode, {{0, 0, 0}}), std::runtime_error);
    EXPECT_THROW(environmentMarkers(singleCode, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}), std::runtime_error);
    EXPECT_EQ(environmentMarkers(singleCode).size(), 3u);
}

TEST(EnvironmentMarkers, BarPosesAreReadAndChecked) {
    auto errorOf = [](const std::string& json) -> std::string {
        try {
            parseScenario(json);
        } catch (const ScenarioError& e) {
            return e.what();
        }
        return "(no error)";
    };
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "barPoses": [[1, 2, 3]]}]})"),
              "devices[0].barPoses: expected four [x, z, heading] arrays");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "tracker", "barPoses": [[1, 2, 3], [1, 2, 3], [1, 2], [1, 2, 3]]}]})"),
              "devices[0].barPoses: expected four [x, z, heading] arrays");
    EXPECT_EQ(errorOf(R"({"devices": [{"handle": 2, "kind": "adapter", "barPoses": []}]})"),
              "devices[0].barPoses: only trackers have this field");
}

// The example: bars along the sides of a 3 m square (side 0 at z = 0 along +x, side 1 at x = 1.5
// along +z, side 2 at z = 3 along +x, side 3 at x = -1.5 along +z), each off by at most 20 cm and
// 10 degrees, and a walk that passes every corner.
TEST(EnvironmentMarkers, QuadrangleExampleScenario) {
    std::ifstream in(ORB_SOURCE_DIR "/device_simulator/scenarios/quadrangle.json");
    ASSERT_TRUE(in);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Scenario scenario = parseScenario(text);
    ASSERT_EQ(scenario.devices.size(), 2u);
    const ScenarioDevice& tracker = scenario.devices[1];
    ASSERT_EQ(tracker.barPoses.size(), 4u);
    const double nominal[4][3] = {{0, 0, 0}, {1.5, 1.5, pi / 2}, {0, 3, 0}, {-1.5, 1.5, pi / 2}};
    for (int side = 0; side < 4; ++side) {
        EXPECT_LE(std::abs(tracker.barPoses[side].x - nominal[side][0]), 0.2) << side;
        EXPECT_LE(std::abs(tracker.barPoses[side].z - nominal[side][1]), 0.2) << side;
        EXPECT_LE(std::abs(tracker.barPoses[side].heading - nominal[side][2]), 10 * pi / 180) << side;
        EXPECT_GT(std::abs(tracker.barPoses[side].x - nominal[side][0]) + std::abs(tracker.barPoses[side].z - nominal[side][1]), 0.05)
            << "side " << side << " is not disturbed";
    }
    EXPECT_EQ(environmentMarkers(tracker.environment, tracker.barPoses).size(), 12u);
    // One round of a circle around the square's centre, so within 20 s near every corner.
    EXPECT_EQ(tracker.trajectory.kind, TrajectoryKind::Circle);
    EXPECT_LE(tracker.trajectory.period, 20);
    EXPECT_NEAR(tracker.trajectory.centre[2], 1.5, 1e-9);
}
