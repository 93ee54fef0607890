// orbtool track against the simulated network: the pipeline reaches 6DoF and its errors
// against ground truth, as the report gives them.
#include <string>

#include "OrbtoolRun.h"

namespace {

struct Report {
    int status = -1;
    std::string json;

    double number(const std::string& pattern) const { return OrbtoolRun::number(json, pattern); }
    double timeTo6Dof() const { return number(R"("timeTo6DofS")"); }
    double share6Dof() const { return number(R"("Tracking6Dof")"); }
    double positionRms() const { return number(R"("positionErrorMm"\s*:\s*\{"rms")"); }
    double rotationRms() const { return number(R"("rotationErrorDeg"\s*:\s*\{"rms")"); }
};

Report trackFile(const std::string& path, double seconds, const std::string& options = "") {
    const OrbtoolRun::Output output = OrbtoolRun::run(OrbtoolRun::program(ORBTOOL_PATH) + " track --scenario " + path +
                                                      " --seconds " + std::to_string(seconds) + options + " --json" +
                                                      OrbtoolRun::discardErrors);
    return {output.status, output.text};
}

Report track(const std::string& scenario, double seconds) { return trackFile(SCENARIO_FOLDER "/" + scenario, seconds); }

} // namespace

// Without noise the pipeline agrees with the simulated optics and inertial sensors to far
// below the accuracy targets.
TEST(OrbtoolTrack, ExactDataTrackWithinTheTargets) {
    const Report report = track("single_bar_still_low_exact.json", 4);
    ASSERT_EQ(report.status, 0) << report.json;
    EXPECT_LT(report.timeTo6Dof(), 1.0);
    EXPECT_GE(report.share6Dof(), 0.98);
    EXPECT_LT(report.positionRms(), 2.0);
    EXPECT_LT(report.rotationRms(), 0.1);
}

// Default noise with one bar: 6DoF is reached and held; the errors are bounded by the
// accelerometer bias, which one bar cannot separate from the turn about its own axis.
TEST(OrbtoolTrack, DefaultNoiseOneBarReachesAndHoldsSixDof) {
    const Report report = track("single_bar_still_low.json", 4);
    ASSERT_EQ(report.status, 0) << report.json;
    EXPECT_LT(report.timeTo6Dof(), 1.0);
    EXPECT_GE(report.share6Dof(), 0.98);
    EXPECT_LT(report.positionRms(), 15.0);
    EXPECT_LT(report.rotationRms(), 1.5);
}

TEST(OrbtoolTrack, MovingTrackerReachesSixDofWithinOneSecond) {
    const Report report = track("single_bar_circle_low.json", 3);
    ASSERT_EQ(report.status, 0) << report.json;
    EXPECT_LT(report.timeTo6Dof(), 1.0);
    EXPECT_GT(report.share6Dof(), 0.3);
}

namespace {

// In 6DoF within 1 s and for 98 % of the run, 2 mm rms and 0.1 degree rms, no position more
// than `maxPositionMm` off.
void expectHeldIn6Dof(const Report& report, double maxPositionMm) {
    ASSERT_EQ(report.status, 0) << report.json;
    EXPECT_LT(report.timeTo6Dof(), 1.0);
    EXPECT_GE(report.share6Dof(), 0.98);
    EXPECT_LT(report.positionRms(), 2.0);
    EXPECT_LT(report.number(R"("positionErrorMm"\s*:\s*\{[^}]*"max")"), maxPositionMm);
    EXPECT_LT(report.rotationRms(), 0.1);
}

} // namespace

// The simulator's default tile floor (no environment in the scenario), a tracker walking a
// circle at head height: the place is found from the first frames and 6DoF holds, exact data
// and default noise alike within the targets of 2 mm and 0.1 degree.
TEST(OrbtoolTrack, DefaultFloorTracksWithinTheTargets) {
    for (const char* scenario : {"floor_circle_exact.json", "floor_circle.json"}) {
        SCOPED_TRACE(scenario);
        const Report report = track(scenario, 6);
        ASSERT_EQ(report.status, 0) << report.json;
        EXPECT_LT(report.timeTo6Dof(), 1.0);
        EXPECT_GE(report.share6Dof(), 0.98);
        EXPECT_LT(report.positionRms(), 2.0);
        EXPECT_LT(report.rotationRms(), 0.1);
    }
}

// The default floor's tiles hung as a ceiling at 2.8 m, walked at head height looking up: held
// in 6DoF like the floor, no position more than 10 mm off.
TEST(OrbtoolTrack, CeilingTracksLikeTheFloor) { expectHeldIn6Dof(track("ceiling_circle.json", 6), 10.0); }

// A steady lamp on the floor 0.34 m from a bar's end marker, walked around on the default
// circle: the lamp lands within matching reach of that marker whenever the marker itself is out
// of view. It must be left unmatched, in identification and at the held pose alike; taken for the
// marker it held the pose 0.1 m off (105 mm rms, 295 mm max) and delayed 6DoF to 2.8 s.
TEST(OrbtoolTrack, LampBesideAMarkerIsNotTakenForIt) {
    expectHeldIn6Dof(trackFile(EXAMPLE_SCENARIO_FOLDER "/fault-lamp-near-marker.json", 12, " --clock fast"), 5.0);
}

TEST(OrbtoolTrack, UnknownNodeFailsWithStatusOne) {
    const OrbtoolRun::Output output = OrbtoolRun::run(OrbtoolRun::program(ORBTOOL_PATH) + " track --scenario " + SCENARIO_FOLDER +
                                                      "/single_bar_still_low.json --node 77 --seconds 1 2>&1");
    ASSERT_NE(output.status, -1);
    EXPECT_EQ(OrbtoolRun::exitStatus(output.status), 1);
    EXPECT_NE(output.text.find("node 77 is not a tracker of the scenario"), std::string::npos) << output.text;
}

// Four bars whose layout is unknown to the environment: 6DoF comes only once the walk has
// shown every corner and the layout is solved, and the errors, measured in the learned frame
// (side 0's bar at the origin along +x), stay within the targets.
TEST(OrbtoolTrack, QuadrangleLearnsItsLayoutThenTracks) {
    const Report report = track("quadrangle_circle.json", 30);
    ASSERT_EQ(report.status, 0) << report.json;
    EXPECT_GT(report.timeTo6Dof(), 1.0);
    EXPECT_LT(report.timeTo6Dof(), 20.0);
    EXPECT_GE(report.share6Dof(), 0.95);
    EXPECT_LT(report.positionRms(), 5.0);
    EXPECT_LT(report.rotationRms(), 0.5);
}
