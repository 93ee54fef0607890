#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tracking/runtime/inertial/InertialState.h"
#include "tracking/runtime/inertial/LeapApplication.h"

using namespace Kestrel::Orb::Tracking;
using Vec3f = KestrelMath::vector<float, 3>;
using Vec3 = KestrelMath::vector<double, 3>;
using Quat = KestrelMath::quaternion<double>;

namespace {

std::unique_ptr<InertialState<double>> makeState() { return std::make_unique<InertialState<double>>(); }

} // namespace

TEST(InertialState, ZeroGyroscopeSampleLeavesBothRotationsUnchanged) {
    auto state = makeState();
    state->gyroscope(Vec3f{{0, 0, 0}});
    state->withLock([](const InertialLeap<double>& leap, const AngularVelocityAverager<double>& averager,
                       const UpCollector<double>& up) {
        EXPECT_EQ(Quat::identity(), leap.rotation);
        EXPECT_EQ(Quat::identity(), up.rotation());
        EXPECT_EQ(1u, averager.writeIndex());
        EXPECT_EQ(Vec3{}, averager.recent(0));
    });
}

TEST(InertialState, ConstantTurnRateIntegratesToTheRightRotation) {
    auto state = makeState();
    // 100 samples of 0.9 degrees about y: 90 degrees; expected values from the script, which
    // multiplies the same increments in double precision.
    for (int i = 0; i < 100; ++i)
        state->gyroscope(Vec3f{{0, 0.9f, 0}});
    auto taken = state->takeLeap();
    EXPECT_NEAR(0.70710674993003, taken.leap.rotation[1], 1e-7);
    EXPECT_NEAR(0.7071068124430689, taken.leap.rotation[3], 1e-7);
    EXPECT_EQ(0.0f, taken.leap.rotation[0]);
    state->withLock([](const InertialLeap<double>&, const AngularVelocityAverager<double>&, const UpCollector<double>& up) {
        EXPECT_NEAR(0.70710674993003, up.rotation().y, 1e-12);
        EXPECT_NEAR(0.7071068124430689, up.rotation().w, 1e-12);
    });
    // The rate: 0.9 deg per 0.5 ms = 31.4159 rad/s about y.
    Vec3 omega = state->angularVelocity(0.01);
    EXPECT_NEAR(0.9f * 0.017453292 * 2000, omega[1], 1e-9);
    EXPECT_EQ(0.0, omega[0]);
}

TEST(InertialState, LeapIntegratesAccelerationInTheRotatedFrameAndResets) {
    auto state = makeState();
    for (int i = 0; i < 30; ++i)  // 90 degrees about z
        state->gyroscope(Vec3f{{0, 0, 3.0f}});
    for (int i = 0; i < 100; ++i)
        state->accelerometer(Vec3f{{0.5f, 1.0f, 0.0f}});
    LeapSummary s = state->takeLeap().leap;
    EXPECT_FLOAT_EQ(0.05f, s.duration);
    EXPECT_NEAR(-0.0122625, s.positionDelta[0], 1e-8);
    EXPECT_NEAR(0.00613125, s.positionDelta[1], 1e-8);
    EXPECT_NEAR(-0.4905, s.velocityDelta[0], 1e-7);
    EXPECT_NEAR(0.24525, s.velocityDelta[1], 1e-7);
    EXPECT_EQ(0.0f, s.velocityDelta[2]);
    const double P[9] = {5.738224443607722e-10, -0.0122625, 0, 0.0122625, 5.738224443607722e-10, 0, 0, 0, 0.0122625};
    const double V[9] = {2.295289777443092e-08, -0.4905, 0, 0.4905, 2.295289777443092e-08, 0, 0, 0, 0.4905};
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(P[i], s.positionSensitivity[i], 1e-9) << i;
        EXPECT_NEAR(V[i], s.velocitySensitivity[i], 1e-7) << i;
    }
    // After taking, the leap is empty.
    LeapSummary next = state->takeLeap().leap;
    EXPECT_EQ(0.0f, next.duration);
    EXPECT_EQ(0.0f, next.positionDelta[0]);
    EXPECT_EQ(0.0f, next.velocitySensitivity[4]);
    EXPECT_EQ(1.0f, next.rotation[3]);
    EXPECT_EQ(0.0f, next.rotation[2]);
}

TEST(LeapApplication, MovesAPoseAndTakesOffGravity) {
    auto state = makeState();
    for (int i = 0; i < 30; ++i)
        state->gyroscope(Vec3f{{0, 0, 3.0f}});
    for (int i = 0; i < 100; ++i)
        state->accelerometer(Vec3f{{0.5f, 1.0f, 0.0f}});
    LeapSummary leap = state->takeLeap().leap;
    Vec3 p{{1, 2, 3}}, v{{0.1, 0, 0.2}}, c{{0.01, -0.02, 0.03}};
    Quat r{0, std::sin(M_PI / 4), 0, std::cos(M_PI / 4)};
    applyLeapSummary(leap, p, r, v, c);
    EXPECT_NEAR(1.0053678750712425, p[0], 1e-9);
    EXPECT_NEAR(1.9939913750332567, p[1], 1e-9);
    EXPECT_NEAR(3.0220172500366704, p[2], 1e-9);
    EXPECT_NEAR(0.11471500009298315, v[0], 1e-9);
    EXPECT_NEAR(-0.24034499128620118, v[1], 1e-9);
    EXPECT_NEAR(0.6806900028079237, v[2], 1e-9);
    EXPECT_NEAR(0.5, r.x, 1e-7);
    EXPECT_NEAR(0.5, r.y, 1e-7);
    EXPECT_NEAR(0.5, r.z, 1e-7);
    EXPECT_NEAR(0.5, r.w, 1e-7);
}

TEST(LeapApplication, ATrackerAtRestStaysAtRest) {
    auto state = makeState();
    for (int i = 0; i < 200; ++i)
        state->accelerometer(Vec3f{{0, 1, 0}});
    LeapSummary leap = state->takeLeap().leap;
    Vec3 p{{0, 1.68, 0}}, v{}, c{};
    Quat r = Quat::identity();
    applyLeapSummary(leap, p, r, v, c);
    EXPECT_NEAR(1.68, p[1], 1e-8);  // the summary is single precision
    EXPECT_NEAR(0.0, v[1], 1e-7);
    // Without the gravity step the leap rises by g t^2 / 2 = 0.0490500 m over 0.1 s.
    Vec3 p2{{0, 1.68, 0}}, v2{};
    Quat r2 = Quat::identity();
    applyLeapMotion(leap, p2, r2, v2, c);
    EXPECT_NEAR(1.68 + 0.04905, p2[1], 1e-8);
    EXPECT_NEAR(0.981, v2[1], 1e-6);
}

TEST(UpCollector, ConstantAccelerationGivesUpAfterTwoHundredSamples) {
    auto up = std::make_unique<UpCollector<double>>();
    for (int i = 0; i < 199; ++i)
        up->accelerate(Vec3{{0, 1, 0}});
    EXPECT_EQ(Vec3{}, up->up());  // pair C has received nothing yet
    EXPECT_EQ(0u, up->pairC().primary().count());
    EXPECT_EQ(99u, up->pairB().primary().count());
    // Sample 200 fills B's primary, so C receives its first value (sample 100, weighted).
    up->accelerate(Vec3{{0, 1, 0}});
    EXPECT_EQ(1u, up->pairC().primary().count());
    up->accelerate(Vec3{{0, 1, 0}});
    Vec3 direction = up->up();
    EXPECT_NEAR(0.0, direction[0], 1e-12);
    EXPECT_NEAR(1.0, direction[1], 1e-12);
    EXPECT_NEAR(0.0, direction[2], 1e-12);
    // Zero spread: the weight is 1 / 1e-4.
    EXPECT_NEAR(2e4, up->pairC().primary().sums()[1], 1e-6);
    EXPECT_FALSE(up->ready());
    for (int i = 0; i < 299; ++i)
        up->accelerate(Vec3{{0, 1, 0}});
    EXPECT_EQ(500u, up->sampleCount());
    EXPECT_TRUE(up->ready());
}

TEST(UpCollector, UpIsMeasuredInTheTrackerFrame) {
    auto up = std::make_unique<UpCollector<double>>();
    // The tracker has turned by 90 degrees about z before the samples: gravity reads along -x.
    up->rotate(Quat::fromAxisAngle(Vec3{{0, 0, 1}}, M_PI / 2));
    for (int i = 0; i < 300; ++i)
        up->accelerate(Vec3{{-1, 0, 0}});
    Vec3 direction = up->up();
    EXPECT_NEAR(-1.0, direction[0], 1e-12);
    EXPECT_NEAR(0.0, direction[1], 1e-12);
}

TEST(UpCollector, NoisyNeighbourhoodsWeighLess) {
    auto up = std::make_unique<UpCollector<double>>();
    // 300 quiet samples along +y, then 300 samples alternating (+-1, 1, 0) whose spread is 1:
    // every weight is 1e4 in the quiet part and 1 / sigma in the noisy one.
    for (int i = 0; i < 300; ++i)
        up->accelerate(Vec3{{0, 1, 0}});
    std::size_t quiet = up->pairC().primary().count();
    EXPECT_EQ(101u, quiet);
    for (int i = 0; i < 300; ++i)
        up->accelerate(Vec3{{i % 2 ? 1.0 : -1.0, 1, 0}});
    // Windows straddling the change have sigma below 1, the fully noisy ones sigma = sqrt(2)
    // (variance 1 in x of both A and B): those values enter with weight 1 / sqrt(2).
    const auto& c = up->pairC().primary();
    const auto& newest = c.at(c.count() - 1);
    EXPECT_NEAR(1.0 / std::sqrt(2.0), newest[1], 1e-9);
}

TEST(WindowPair, PrimaryHoldsTheLastValuesAndSumsAreRebuilt) {
    WindowPair<double, 1, 4, true> pair;
    auto push = [&](double v) { return pair.push(KestrelMath::vector<double, 1>{{v}}); };
    EXPECT_FALSE(push(1e16));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(push(1.0));
    EXPECT_EQ(4u, pair.primary().count());
    EXPECT_EQ(0u, pair.secondary().count());  // swapped: the old primary was cleared
    auto dropped = push(1.0);
    ASSERT_TRUE(dropped);
    EXPECT_EQ(1e16, (*dropped)[0]);
    // One running sum lost the small values next to 1e16 ...
    EXPECT_NE(4.0, pair.primary().sums()[0]);
    push(1.0);
    push(1.0);
    push(1.0);
    // ... the rebuilt one holds exactly the last four.
    EXPECT_EQ(4u, pair.primary().count());
    EXPECT_EQ(4.0, pair.primary().sums()[0]);
    EXPECT_EQ(4.0, pair.primary().sumsOfSquares()[0]);
    EXPECT_EQ(0.0, pair.primary().variance()[0]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(1.0, pair.primary().at(i)[0]);
}

TEST(WindowPair, EveryPushBeyondCapacityDropsTheValueCapacityPushesEarlier) {
    WindowPair<double, 1, 5, false> pair;
    for (int i = 0; i < 40; ++i) {
        auto dropped = pair.push(KestrelMath::vector<double, 1>{{double(i)}});
        if (i < 5) {
            EXPECT_FALSE(dropped) << i;
        } else {
            ASSERT_TRUE(dropped) << i;
            EXPECT_EQ(double(i - 5), (*dropped)[0]);
        }
        std::size_t held = std::min(i + 1, 5);
        EXPECT_EQ(held, pair.primary().count());
        double expected = 0;
        for (int k = i + 1 - int(held); k <= i; ++k)
            expected += k;
        EXPECT_EQ(expected, pair.primary().sums()[0]) << i;
    }
}

TEST(AngularVelocityAverager, AveragingLimitsOneToOneHundredTwentyEight) {
    EXPECT_EQ(1u, AngularVelocityAverager<double>::sampleCount(0.0));
    EXPECT_EQ(1u, AngularVelocityAverager<double>::sampleCount(-1.0));
    EXPECT_EQ(1u, AngularVelocityAverager<double>::sampleCount(NAN));
    EXPECT_EQ(1u, AngularVelocityAverager<double>::sampleCount(0.00025));   // 0.5 rounds to 1
    EXPECT_EQ(2u, AngularVelocityAverager<double>::sampleCount(0.00075));   // 1.5 rounds to 2
    EXPECT_EQ(20u, AngularVelocityAverager<double>::sampleCount(0.01));
    EXPECT_EQ(128u, AngularVelocityAverager<double>::sampleCount(0.064));
    EXPECT_EQ(128u, AngularVelocityAverager<double>::sampleCount(1.0));
    EXPECT_EQ(128u, AngularVelocityAverager<double>::sampleCount(1e300));

    AngularVelocityAverager<double> averager;
    for (int k = 0; k < 200; ++k)
        averager.push(Vec3{{double(k), 0, -1}});
    EXPECT_EQ(199.0 * 2000, averager.average(0.0)[0]);
    EXPECT_EQ(198.5 * 2000, averager.average(0.001)[0]);
    EXPECT_EQ(135.5 * 2000, averager.average(1.0)[0]);  // mean of 72..199
    EXPECT_EQ(-2000.0, averager.average(1.0)[2]);
}
