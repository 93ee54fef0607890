// The stage machine of the hand-off, the blind period, integration of pending frames and the
// stop frame.
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "SyntheticScene.h"
#include "tracking/runtime/optimizer/PoseResidual.h"
#include "tracking/runtime/pipeline/SharedTrackingState.h"

using namespace TrackingTest;
using Quatf = KestrelMath::quaternion<float>;

namespace {

struct FakeClock {
    int64_t now = 1'000'000'000;
    TrackingClock clock() {
        return [this] { return now; };
    }
    void advance(double seconds) { now += int64_t(std::llround(seconds * 1e9)); }
};

FrameRecord restFrame(const Vec3f& up = {{0, 1, 0}}) {
    FrameRecord frame{};
    frame.frame.up = up;
    frame.leap.duration = 0.005f;
    // At rest the accelerometer feels 1 g upwards: the leap cancels gravity exactly.
    frame.leap.velocityDelta[1] = float(9.81 * 0.005);
    frame.leap.positionDelta[1] = float(4.905 * 0.005 * 0.005);
    return frame;
}

FrameRecord stopFrame() {
    FrameRecord frame = restFrame();
    frame.leap.duration = std::numeric_limits<float>::quiet_NaN();
    return frame;
}

// One hand-off that does not wait: a frame is queued first.
bool handOffNow(SharedTrackingState& shared, bool ok, float quality, OptimizerState& state) {
    shared.push(restFrame());
    std::vector<FrameRecord> frames;
    const bool going = shared.handOff(ok, quality, state, frames);
    EXPECT_EQ(frames.size(), 1u);
    return going;
}

} // namespace

TEST(SharedTrackingState, StartsInStageZeroAndInitialisesOnce) {
    SharedTrackingState shared;
    EXPECT_EQ(shared.stage(), 0);
    EXPECT_STREQ(stageName(shared.stage()), "InertialDataInitialization");
    // Tracker tilted: up measured along (0.6, 0.8, 0) in its frame.
    ASSERT_TRUE(shared.initialise({{0.6f, 0.8f, 0.0f}}));
    const PoseSnapshot snapshot = shared.read();
    EXPECT_EQ(snapshot.stage, 1);
    EXPECT_STREQ(stageName(snapshot.stage), "Tracking3Dof");
    EXPECT_EQ(snapshot.stabilityValue, 0.0f);
    EXPECT_FLOAT_EQ(snapshot.pose.position[1], 1.68f);
    EXPECT_EQ(snapshot.pose.position[0], 0.0f);
    EXPECT_EQ(snapshot.pose.velocity[1], 0.0f);
    const Vec3f up = snapshot.pose.rotation.rotate({{0.6f, 0.8f, 0.0f}});
    EXPECT_NEAR(up[0], 0, 1e-6);
    EXPECT_NEAR(up[1], 1, 1e-6);
    EXPECT_FALSE(shared.initialise({{0, 1, 0}}));
}

TEST(SharedTrackingState, BlindPeriodAfterSixDofFollowsTheStability) {
    LogCapture log;
    FakeClock clock;
    SharedTrackingState shared(clock.clock());
    shared.initialise({{0, 1, 0}});
    OptimizerState state{};
    state.rotation = Quatf::identity();
    state.position = {{1, 2, 3}};
    ASSERT_TRUE(handOffNow(shared, true, 0.5f, state));
    EXPECT_EQ(shared.stage(), 2);
    EXPECT_EQ(shared.stabilityValue(), 0.5f);

    ASSERT_TRUE(handOffNow(shared, false, 0, state));  // blind for min(1, 0.5) * 3 = 1.5 s
    EXPECT_EQ(shared.stage(), 3);
    EXPECT_STREQ(stageName(3), "TrackingBlind6Dof");
    EXPECT_FLOAT_EQ(shared.stabilityValue(), 1.0f);
    clock.advance(0.375);
    handOffNow(shared, false, 0, state);
    EXPECT_FLOAT_EQ(shared.stabilityValue(), 0.75f);
    clock.advance(0.75);
    handOffNow(shared, false, 0, state);
    EXPECT_EQ(shared.stage(), 3);
    EXPECT_FLOAT_EQ(shared.stabilityValue(), 0.25f);
    clock.advance(0.375);  // exactly 1.5 s: not yet past
    handOffNow(shared, false, 0, state);
    EXPECT_EQ(shared.stage(), 3);
    EXPECT_NEAR(shared.stabilityValue(), 0.0f, 1e-6);
    EXPECT_TRUE(log.lines().empty());

    clock.advance(0.01);
    state.position = {{0.5f, 1.25f, -2}};
    state.velocity = {{1, 1, 1}};
    handOffNow(shared, false, 0, state);
    EXPECT_EQ(shared.stage(), 1);
    EXPECT_EQ(shared.stabilityValue(), 0.0f);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "positionFor3Dof updated: 0.5 1.25 -2");
    EXPECT_EQ(state.velocity[0], 0.0f);  // the optimiser's state follows the 3DoF position
    const PoseSnapshot snapshot = shared.read();
    EXPECT_EQ(snapshot.pose.position[2], -2.0f);
    EXPECT_EQ(snapshot.pose.velocity[0], 0.0f);

    // Later failures in stage 1 keep the optimiser at the 3DoF position.
    state.position = {{9, 9, 9}};
    handOffNow(shared, false, 0, state);
    EXPECT_EQ(state.position[0], 0.5f);
    // Success returns to stage 2 from stage 1.
    handOffNow(shared, true, 0.04f, state);
    EXPECT_EQ(shared.stage(), 2);
}

TEST(SharedTrackingState, HighStabilityIsLimitedToThreeSecondsBlind) {
    FakeClock clock;
    SharedTrackingState shared(clock.clock());
    shared.initialise({{0, 1, 0}});
    OptimizerState state{};
    state.rotation = Quatf::identity();
    handOffNow(shared, true, 7.0f, state);
    handOffNow(shared, false, 0, state);
    clock.advance(2.9);
    handOffNow(shared, false, 0, state);
    EXPECT_EQ(shared.stage(), 3);
    clock.advance(0.2);
    handOffNow(shared, false, 0, state);
    EXPECT_EQ(shared.stage(), 1);
}

TEST(SharedTrackingState, PendingFramesAreIntegratedOnceByReaderAndHandOff) {
    SharedTrackingState shared;
    shared.initialise({{0, 1, 0}});
    OptimizerState state{};
    state.rotation = Quatf::identity();
    state.position = {{0, 1, 0}};
    state.velocity = {{1, 0, 0}};  // 1 m/s along x, no acceleration
    handOffNow(shared, true, 0.1f, state);  // pose := state, then the queued frame: +5 mm
    EXPECT_NEAR(shared.read().pose.position[0], 0.005, 1e-6);
    shared.push(restFrame());
    shared.push(restFrame());
    EXPECT_NEAR(shared.read().pose.position[0], 0.015, 1e-6);  // the reader integrated both
    EXPECT_NEAR(shared.read().pose.position[0], 0.015, 1e-6);  // and only once
    std::vector<FrameRecord> frames;
    ASSERT_TRUE(shared.handOff(false, 0, state, frames));  // stage 3: no new pose
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_NEAR(shared.read().pose.position[0], 0.015, 1e-6);
    EXPECT_NEAR(shared.read().pose.position[1], 1.0, 1e-6);  // gravity cancelled by the leaps
}

TEST(SharedTrackingState, ThreeDofLevelsTheRotationTowardsTheMeasuredUp) {
    SharedTrackingState shared;
    shared.initialise({{0, 1, 0}});
    // The tracker is actually tilted by 0.2 rad about z: its up reads (sin, cos, 0).
    const Vec3f up{{std::sin(0.2f), std::cos(0.2f), 0}};
    OptimizerState state{};
    std::vector<FrameRecord> frames;
    double previous = 0.2;
    for (int k = 0; k < 300; ++k) {
        shared.push(restFrame(up));
        ASSERT_TRUE(shared.handOff(false, 0, state, frames));
        const Vec3f world = shared.read().pose.rotation.rotate(up);
        const double tilt = std::atan2(std::hypot(world[0], world[2]), world[1]);
        EXPECT_LE(tilt, previous + 1e-5);
        previous = tilt;
    }
    EXPECT_LT(previous, 0.02);
    EXPECT_EQ(shared.read().pose.position[1], 1.68f);
}

TEST(SharedTrackingState, StopFrameEndsAWaitingHandOffAtOnce) {
    SharedTrackingState shared;
    OptimizerState state{};
    std::atomic<bool> going{true};
    std::chrono::steady_clock::time_point returned;
    std::thread optimiser([&] {
        std::vector<FrameRecord> frames;
        going = shared.handOff(false, 0, state, frames);
        returned = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto pushed = std::chrono::steady_clock::now();
    shared.push(stopFrame());
    optimiser.join();
    EXPECT_FALSE(going);
    EXPECT_LT(std::chrono::duration<double>(returned - pushed).count(), 0.1);
}
