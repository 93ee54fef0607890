#include <gtest/gtest.h>

#include <cmath>

#include "device_simulator/scene/ImuModel.h"

using namespace Kestrel::DeviceSimulator;

TEST(ImuCalibration, RawValuesMatchAnIndependentInverse) {
    // Computed separately: solve M(35) g = (0.1, -0.2, 0.05) with the single-precision entries,
    // raw = round((g + bias) * 32768).
    RawTriple raw = rawFromValue(simulatedGyroscopeCalibration(), gyroscopeScale, Vec3{{0.1, -0.2, 0.05}}, 35.0f);
    EXPECT_EQ(raw.axes[0], 3292);
    EXPECT_EQ(raw.axes[1], -6659);
    EXPECT_EQ(raw.axes[2], 1608);
    EXPECT_FALSE(raw.saturated);
}

TEST(ImuCalibration, HostDecodingGivesTheValueBackWithinQuantisation) {
    for (float temperature : {20.0f, 35.0f, 47.5f})
        for (double a = -0.9; a <= 0.9; a += 0.137) {
            Vec3 value{{a, -0.5 * a + 0.1, 0.3 - a * a}};
            RawTriple gyro = rawFromValue(simulatedGyroscopeCalibration(), gyroscopeScale, value, temperature);
            Vec3 back = valueFromRaw(simulatedGyroscopeCalibration(), gyroscopeScale, gyro.axes, temperature);
            Vec3 accelValue = value * 7.0;
            RawTriple accel = rawFromValue(simulatedAccelerometerCalibration(), accelerometerScale, accelValue, temperature);
            Vec3 accelBack = valueFromRaw(simulatedAccelerometerCalibration(), accelerometerScale, accel.axes, temperature);
            for (int k = 0; k < 3; ++k) {
                // Half a step on each axis, mixed by a matrix whose rows sum to about 1.02.
                EXPECT_NEAR(back[k], value[k], 0.52 * gyroscopeScale);
                EXPECT_NEAR(accelBack[k], accelValue[k], 0.52 * accelerometerScale);
            }
        }
}

TEST(ImuCalibration, SaturatesAtSixteenBits) {
    RawTriple raw = rawFromValue(simulatedGyroscopeCalibration(), gyroscopeScale, Vec3{{1.5, -1.5, 0.0}}, 35.0f);
    EXPECT_TRUE(raw.saturated);
    EXPECT_EQ(raw.axes[0], 32767);
    EXPECT_EQ(raw.axes[1], -32768);
    RawTriple accel = rawFromValue(simulatedAccelerometerCalibration(), accelerometerScale, Vec3{{0, 9.0, 0}}, 35.0f);
    EXPECT_TRUE(accel.saturated);
    EXPECT_EQ(accel.axes[1], 32767);
}

TEST(ImuMotion, StillTrackerFeelsOnlyGravity) {
    TrajectorySpec config;  // static, camera looking down
    auto still = makeTrajectory(config, 1);
    for (double t : {0.0005, 1.0, 17.3}) {
        Vec3 gyro = trueGyroscope(*still, t), accel = trueAccelerometer(*still, t);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(gyro[k], 0.0, 1e-12);
        // World up is the tracker's -z when the camera (+z) looks down.
        EXPECT_NEAR(accel[0], 0.0, 1e-6);
        EXPECT_NEAR(accel[1], 0.0, 1e-6);
        EXPECT_NEAR(accel[2], -1.0, 1e-6);
    }
}

TEST(ImuMotion, CircleTurnsAndPullsInward) {
    TrajectorySpec config;
    config.kind = TrajectoryKind::Circle;
    config.radius = 1.0;
    config.period = 12.0;
    auto circle = makeTrajectory(config, 1);
    // Heading turns by 360 degrees per lap about the vertical, which is the tracker's z axis:
    // 360 / 12 / 2000 = 0.015 degrees per sample. Centripetal force r w^2 = (2 pi / 12)^2 m/s^2
    // = 0.274156 m/s^2 = 0.0279466 g, horizontal, so in the tracker's x-y plane.
    for (double t : {0.25, 3.0, 7.77}) {
        Vec3 gyro = trueGyroscope(*circle, t);
        EXPECT_NEAR(gyro[0], 0.0, 1e-9);
        EXPECT_NEAR(gyro[1], 0.0, 1e-9);
        EXPECT_NEAR(std::abs(gyro[2]), 0.015, 1e-9);
        Vec3 accel = trueAccelerometer(*circle, t);
        EXPECT_NEAR(std::hypot(accel[0], accel[1]), 0.0279466, 1e-6);
        EXPECT_NEAR(accel[2], -1.0, 1e-6);
        // Inward: towards the circle's centre seen from the tracker.
        Pose pose = circle->poseAt(t);
        Vec3 inward = pose.rotation.conjugate().rotate(config.centre - pose.position);
        EXPECT_GT(accel[0] * inward[0] + accel[1] * inward[1], 0.0);
    }
}

TEST(ImuMotion, SpinTurnsAboutTheTrackersOwnYAxis) {
    TrajectorySpec config;
    config.kind = TrajectoryKind::Spin;
    config.turnRate = M_PI / 4;  // 45 degrees per second: 0.0225 degrees per sample
    auto spin = makeTrajectory(config, 1);
    // Starting from the camera looking down, gravity's reaction in the tracker frame is
    // (sin a, 0, -cos a) after turning by a about the tracker's y axis.
    for (double t : {0.5, 2.0, 5.0}) {
        Vec3 gyro = trueGyroscope(*spin, t);
        EXPECT_NEAR(gyro[0], 0.0, 1e-9);
        EXPECT_NEAR(gyro[1], 0.0225, 1e-9);
        EXPECT_NEAR(gyro[2], 0.0, 1e-9);
        Vec3 accel = trueAccelerometer(*spin, t);
        double a = M_PI / 4 * t;
        EXPECT_NEAR(accel[0], std::sin(a), 1e-6);
        EXPECT_NEAR(accel[1], 0.0, 1e-6);
        EXPECT_NEAR(accel[2], -std::cos(a), 1e-6);
        EXPECT_NEAR(spin->poseAt(t).position[1], config.centre[1], 0.0);
    }
}

TEST(ImuMotion, GyroscopeIntegratesToTheTrajectoryRotation) {
    TrajectorySpec config;
    config.kind = TrajectoryKind::RandomWalk;
    config.jitter = true;
    auto walk = makeTrajectory(config, 42);
    Quat integrated = walk->poseAt(0).rotation;
    for (int k = 1; k <= 4000; ++k)
        integrated = integrated * Quat::fromRotationVector(trueGyroscope(*walk, k / 2000.0) * (M_PI / 180.0));
    Quat truth = walk->poseAt(2.0).rotation;
    double alignment = std::abs(integrated.x * truth.x + integrated.y * truth.y + integrated.z * truth.z +
                                integrated.w * truth.w);
    EXPECT_NEAR(alignment, 1.0, 1e-10);
}

TEST(ImuModel, NoiseHasTheConfiguredSize) {
    ImuNoise noise;
    noise.gyroscopeNoise = 0.4;     // deg/s per sample: 2e-4 deg per sample interval
    noise.gyroscopeBias = 0.0;
    noise.accelerometerNoise = 0.01;
    noise.accelerometerBias = 0.0;
    auto still = makeTrajectory(TrajectorySpec{}, 1);
    ImuModel imu(noise, 9);
    double sumG = 0, sumG2 = 0, sumA = 0, sumA2 = 0;
    const int n = 20000;
    for (int k = 1; k <= n; ++k) {
        ImuSample s = imu.sample(*still, k, 35.0f);
        sumG += s.gyroscope[0];
        sumG2 += s.gyroscope[0] * s.gyroscope[0];
        sumA += s.accelerometer[0];
        sumA2 += s.accelerometer[0] * s.accelerometer[0];
    }
    EXPECT_NEAR(std::sqrt(sumG2 / n - (sumG / n) * (sumG / n)), 2e-4, 0.1e-4);
    EXPECT_NEAR(std::sqrt(sumA2 / n - (sumA / n) * (sumA / n)), 0.01, 0.0005);
    EXPECT_NEAR(sumA / n, 0.0, 0.0005);
}

TEST(ImuModel, BiasDriftsSlowlyWithItsConfiguredSize) {
    ImuNoise noise;
    noise.gyroscopeNoise = 0.0;
    noise.gyroscopeBias = 2.0;  // deg/s
    noise.accelerometerNoise = 0.0;
    noise.accelerometerBias = 0.0;
    auto still = makeTrajectory(TrajectorySpec{}, 1);
    // Over one second (time constant 100 s) the bias barely moves; across many seeds its
    // spread is the configured size.
    double sum2 = 0;
    const int seeds = 400;
    for (int seed = 0; seed < seeds; ++seed) {
        ImuModel imu(noise, uint64_t(seed));
        double first = imu.sample(*still, 1, 35.0f).gyroscope[1] * 2000.0, last = first;
        for (int k = 2; k <= 2000; ++k)
            last = imu.sample(*still, k, 35.0f).gyroscope[1] * 2000.0;
        EXPECT_NEAR(last, first, 1.4);  // five standard deviations of the one-second change
        sum2 += first * first;
    }
    EXPECT_NEAR(std::sqrt(sum2 / seeds), 2.0, 0.2);
}

TEST(ImuModel, DelayedSamplesCarryTheMotionOfTheDelayEarlier) {
    ImuNoise quiet{0.0, 0.0, 0.0, 0.0};
    TrajectorySpec config;
    config.kind = TrajectoryKind::RandomWalk;
    config.jitter = true;
    auto walk = makeTrajectory(config, 5);
    ImuModel prompt(quiet, 3), late(quiet, 3, 0.010), early(quiet, 3, -0.004);
    // 10 ms are 20 samples: the late model's sample k is the prompt model's sample k - 20,
    // the early model's sample k is the prompt one's k + 8.
    std::vector<ImuSample> reference;
    for (int k = 0; k <= 3000; ++k)
        reference.push_back(prompt.sample(*walk, k, 35.0f));
    for (int k = 1; k <= 2900; ++k) {
        ImuSample l = late.sample(*walk, k, 35.0f), e = early.sample(*walk, k, 35.0f);
        EXPECT_DOUBLE_EQ(l.time, k / 2000.0);  // sent at its own time
        const ImuSample& before = reference[size_t(std::max(k - 20, 0))];
        const ImuSample& after = reference[size_t(k + 8)];
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(l.gyroscope[axis], before.gyroscope[axis], 1e-12) << "sample " << k;
            EXPECT_NEAR(l.accelerometer[axis], before.accelerometer[axis], 1e-9) << "sample " << k;
            EXPECT_NEAR(e.gyroscope[axis], after.gyroscope[axis], 1e-12) << "sample " << k;
        }
    }
    // Within its first 10 ms the late tracker still shows the pose of time 0: no turn at all.
    ImuModel lateAgain(quiet, 3, 0.010);
    for (int k = 1; k <= 20; ++k)
        EXPECT_NEAR(0.0, KestrelMath::length(lateAgain.sample(*walk, k, 35.0f).gyroscope), 1e-12) << "sample " << k;
}
