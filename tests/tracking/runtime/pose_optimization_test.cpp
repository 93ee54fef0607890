// optimize on synthetic geometry: convergence, the outlier attempts, degenerate geometry.
#include <gtest/gtest.h>

#include "LogCapture.h"
#include "SyntheticScene.h"
#include "tracking/runtime/optimizer/PoseOptimization.h"
#include "tracking/runtime/optimizer/PoseResidual.h"

using namespace TrackingTest;

namespace {

double positionError(const OptimizerState& a, const OptimizerState& b) { return (d3(a.position) - d3(b.position)).norm(); }
double rotationErrorDeg(const OptimizerState& a, const OptimizerState& b) {
    return toEigen(a.rotation).angularDistance(toEigen(b.rotation)) * 180 / M_PI;
}

OptimizerState perturbed(const OptimizerState& truth) {
    OptimizerState s = truth;
    s.position = s.position + KestrelMath::vector<float, 3>{{0.02f, -0.015f, 0.01f}};
    s.velocity = s.velocity + KestrelMath::vector<float, 3>{{0.1f, 0.05f, -0.1f}};
    const Eigen::Quaterniond turn(Eigen::AngleAxisd(1.0 * M_PI / 180, Eigen::Vector3d(1, 2, 3).normalized()));
    s.rotation = fromEigen(turn * toEigen(s.rotation));
    return s;
}

} // namespace

TEST(Optimize, ConvergesToTheTrueStateInAFewCalls) {
    LogCapture log;
    SyntheticScene scene;
    History history = scene.history(32);
    const OptimizerState truth = scene.truth();
    OptimizerState state = perturbed(truth);
    for (int call = 0; call < 6; ++call) {
        const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
        ASSERT_TRUE(result.ok) << "call " << call;
        EXPECT_GT(result.quality, minimumQuality);
    }
    EXPECT_LT(positionError(state, truth), 2e-4);
    EXPECT_LT(rotationErrorDeg(state, truth), 0.01);
    EXPECT_LT((d3(state.velocity) - d3(truth.velocity)).norm(), 0.02);
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();
}

TEST(Optimize, OneCallOfAFreshStateReturnsTheAppliedDelta) {
    SyntheticScene scene;
    History history = scene.history(32);
    const OptimizerState start = perturbed(scene.truth());
    OptimizerState state = start;
    const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
    ASSERT_TRUE(result.ok);
    // The position part of the delta is what moved the state, and it moved towards the truth.
    EXPECT_LT((d3(state.position) - d3(start.position) - result.delta.segment<3>(0)).norm(), 1e-6);
    EXPECT_LT(positionError(state, scene.truth()), 0.3 * positionError(start, scene.truth()));
}

TEST(Optimize, PersistentOutlierIsCollectedInTheFourthAttemptAndDroppedInTheFifth) {
    LogCapture log;
    SyntheticScene scene;
    History history = scene.history(32);
    // In every frame the ray of marker 3 claims to be marker 9, far away on the floor.
    int claimed = 0;
    for (int age = 0; age < history.count(); ++age)
        for (Ray& ray : history.fromNewest(age).frame.rays)
            if (ray.markerIndex == 3) {
                ray.markerIndex = 9;
                ++claimed;
            }
    ASSERT_GT(claimed, 0);
    OptimizerState state = scene.truth();
    const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
    ASSERT_TRUE(result.ok);
    const std::vector<std::string> lines = log.lines();
    const std::string skipped = "skippedRays " + std::to_string(claimed);
    ASSERT_EQ(lines.size(), 6u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(lines[i], skipped);
    EXPECT_EQ(lines[4], "invalidMatches detected: 1 iteration:4");
    EXPECT_EQ(lines[5], "numIterations 5");
    // Every ray that named marker 9 (the true ones too) is now declared invalid, and left out
    // of the last attempt's equations, which took every other ray with a marker.
    for (int age = 0; age < history.count(); ++age)
        for (const Ray& ray : history.fromNewest(age).frame.rays) {
            EXPECT_NE(ray.markerIndex, 9);
            EXPECT_EQ(isMarker(ray.markerIndex, scene.markers.size()), bool(ray.usedByOptimizer));
        }
    EXPECT_LT(positionError(state, scene.truth()), 1e-3);
}

// A state far off in its accelerometer correction sheds the outliers of the oldest frames
// over several attempts. A blob of the oldest frame displaced by 0.13 in the image is not yet
// an outlier when the fourth attempt collects them, but is one after the invalid markers were
// dropped in the fifth: no attempt is left, and the optimisation fails.
TEST(Optimize, AnOutlierInTheFifthAttemptFailsByNumIterations) {
    LogCapture log;
    SyntheticScene scene;
    History history = scene.history(32);
    Ray& displaced = history.fromNewest(31).frame.rays[0];
    const double angle = 130 * M_PI / 180;
    displaced.point = {{displaced.point[0] + float(0.13 * std::cos(angle)), displaced.point[1] + float(0.13 * std::sin(angle))}};
    displaced.direction = directionFromImagePoint(displaced.point[0], displaced.point[1], float(scene.xi));
    projectionDerivative(displaced.direction, float(scene.xi), displaced.projectionDerivative);
    OptimizerState state = scene.truth();
    state.accelerometerCorrection = {{9.5f, 0.0f, 0.0f}};
    const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.delta.norm(), 0.0);
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 7u);
    for (int i : {0, 1, 2, 3, 5})
        EXPECT_EQ(lines[i].rfind("skippedRays ", 0), 0u) << lines[i];
    EXPECT_EQ(lines[4].rfind("invalidMatches detected: ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[6], "optimize failed by numIterations");
}

TEST(Optimize, TooFewConstrainedDirectionsIsNotOk) {
    LogCapture log;
    SyntheticScene scene;
    History history = scene.history(32);
    // Only marker 7 stays labelled: two rows per frame cannot fix six pose parameters.
    for (int age = 0; age < history.count(); ++age)
        for (Ray& ray : history.fromNewest(age).frame.rays)
            if (ray.markerIndex != 7)
                ray.markerIndex = -1;
    OptimizerState state = scene.truth();
    const OptimizerState before = state;
    const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
    EXPECT_FALSE(result.ok);
    EXPECT_LT(result.quality, minimumQuality);
    EXPECT_EQ(result.delta.norm(), 0.0);
    EXPECT_EQ(positionError(state, before), 0.0);
    EXPECT_TRUE(log.lines().empty());
}

// Velocity and correction are only seen through time: a short History is not yet enough.
TEST(Optimize, QualityGrowsWithTheHistory) {
    SyntheticScene scene;
    float previous = 0;
    for (int frames : {2, 8, 32}) {
        History history = scene.history(frames);
        OptimizerState state = scene.truth();
        const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
        EXPECT_GT(result.quality, previous) << frames;
        EXPECT_EQ(result.ok, frames == 32) << frames;
        previous = result.quality;
    }
}

TEST(Optimize, EmptyHistoryIsNotOk) {
    History history;
    SyntheticScene scene;
    OptimizerState state = scene.truth();
    const OptimizeResult result = optimize(history, scene.markers, float(scene.xi), state);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.quality, 0.0f);
}

TEST(Optimize, MarkerIndicesOutsideTheListAreIgnored) {
    SyntheticScene scene;
    History history = scene.history(32);
    history.fromNewest(0).frame.rays[0].markerIndex = 1000;
    history.fromNewest(1).frame.rays[0].markerIndex = -20;
    OptimizerState state = scene.truth();
    EXPECT_TRUE(optimize(history, scene.markers, float(scene.xi), state).ok);
    EXPECT_LT(positionError(state, scene.truth()), 1e-4);
}

TEST(Optimize, NoisyRaysStillGiveMillimetreAccuracy) {
    SyntheticScene scene;
    std::mt19937 random(5);
    History history;
    for (int k = 31; k >= 0; --k)
        history.add(scene.frame(-k * scene.frameTime, true, 3e-4, &random));  // ~0.2 px
    OptimizerState state = perturbed(scene.truth());
    for (int call = 0; call < 6; ++call)
        ASSERT_TRUE(optimize(history, scene.markers, float(scene.xi), state).ok);
    EXPECT_LT(positionError(state, scene.truth()), 2e-3);
    EXPECT_LT(rotationErrorDeg(state, scene.truth()), 0.1);
}
