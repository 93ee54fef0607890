// The latency viewer's comparison of optical and inertial motion, on recordings built here
// from a known rotation: the optical curve's angles worked out by hand, and the lag that the
// recording was built with found again.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "tracking/runtime/device_tasks/LatencyCorrelation.h"

using namespace LatencyCorrelation;
using FrameEntry = Kestrel::Orb::Tracking::GyroscopeLatency::FrameEntry;
using Vec3f = KestrelMath::vector3<float>;

namespace {

constexpr double pi = 3.14159265358979323846;

FrameEntry frameAt(double horizontalDegrees, int rays = 1) {
    FrameEntry f;
    f.rayCount = rays;
    const double h = horizontalDegrees * pi / 180.0;
    f.direction = rays > 0 ? Vec3f{{float(std::sin(h)), 0.0f, float(std::cos(h))}} : Vec3f{};
    f.frameNumber = 1;
    return f;
}

// A hand-held wobble about the tracker's y axis, in degrees.
double wobble(double t) { return 5.0 * std::sin(2 * pi * 3.0 * t) + 3.0 * std::sin(2 * pi * 7.3 * t + 1.0); }

struct Recording {
    Gyroscope gyroscope;
    Frames frames;
    Timeline timeline;

    // `seconds` of the wobble: gyroscope entries at 2000 per second that lag the motion by
    // `delay` seconds, frames at `frameRate` whose last ray is a light 20 degrees right of the
    // optical axis when the tracker has not turned, with `angleNoise` degrees of noise.
    // With `switchEvery` the last ray belongs to a second light, 35 degrees to the left of the
    // first, during every other run of that many frames.
    void record(double seconds, double delay, double frameRate, double angleNoise = 0, uint64_t seed = 1,
                int switchEvery = 0) {
        std::mt19937_64 random(seed);
        std::normal_distribution<double> noise(0.0, angleNoise > 0 ? angleNoise : 1.0);
        timeline.starts.push_back({gyroscope.size(), frames.size()});
        const double samplesPerFrame = 2000.0 / frameRate;
        double nextFrame = 3.0;  // the first frame comes after the fourth sample
        for (size_t n = 0; n < size_t(seconds * 2000.0); ++n) {
            const double t = double(n) / 2000.0;
            gyroscope.push_back(Vec3f{{0.0f, float(wobble(t - delay) - wobble(-delay)), 0.0f}});
            if (double(n) >= nextFrame) {
                nextFrame += samplesPerFrame;
                const bool second = switchEvery > 0 && (frames.size() / size_t(switchEvery)) % 2 == 1;
                const double seen = (second ? -15.0 : 20.0) - wobble(t) + (angleNoise > 0 ? noise(random) : 0.0);
                frames.push_back(frameAt(seen));
                timeline.frameSample.push_back(gyroscope.size());
            }
        }
    }
};

} // namespace

TEST(OpticalCurve, SumsTheCountedTurnsAndBreaksWhereAStepIsNotCounted) {
    Frames frames{frameAt(30.0), frameAt(10.0), frameAt(0.0, 0), frameAt(170.0), frameAt(-170.0),
                  frameAt(45.0), frameAt(47.0), frameAt(80.0), frameAt(81.0)};
    Timeline timeline;
    timeline.frameSample = {20, 30, 40, 50, 60, 5000, 5010, 5020, 5030};
    timeline.starts = {{0, 0}, {4990, 5}};
    // First recording: 1 degree a sample, 10 between frames, so steps up to 2 * 10 + 0.5 count;
    // second recording: 0.1 degree a sample, steps up to 2.5 degrees.
    Gyroscope gyroscope;
    for (size_t i = 0; i < 4990; ++i)
        gyroscope.push_back(Vec3f{{0.0f, float(i), 0.0f}});
    for (size_t i = 0; i < 50; ++i)
        gyroscope.push_back(Vec3f{{0.0f, 0.1f * float(i), 0.0f}});

    const auto runs = opticalCurve(gyroscope, frames, timeline);
    ASSERT_EQ(4u, runs.size());
    auto expectRun = [](const OpticalRun& run, std::vector<std::array<double, 3>> expected) {
        ASSERT_EQ(expected.size(), run.size());
        for (size_t i = 0; i < run.size(); ++i) {
            EXPECT_EQ(size_t(expected[i][0]), run[i].frame);
            EXPECT_EQ(expected[i][1], run[i].sampleIndex);
            EXPECT_NEAR(expected[i][2], run[i].angle, 1e-4) << "frame " << run[i].frame;
        }
    };
    // 30 -> 10 degrees: the light moved left, the tracker turned +20.
    expectRun(runs[0], {{0, 19, 0}, {1, 29, 20}});
    // After the frame without rays the curve goes on at 20; 170 -> -170 is the light moving
    // +20 degrees across the back: a turn of -20.
    expectRun(runs[1], {{3, 49, 20}, {4, 59, 0}});
    // The second recording starts at 0; 45 -> 47 is a turn of -2; 47 -> 80 is more than
    // 2.5 degrees and breaks the curve, which goes on at -2.
    expectRun(runs[2], {{5, 4999, 0}, {6, 5009, -2}});
    expectRun(runs[3], {{7, 5019, -2}, {8, 5029, -3}});
}

TEST(LatencyLag, FindsTheDelayARecordingWasBuiltWith) {
    // Whole and half samples, both signs, at 200 and 120 frames a second.
    for (double delayMs : {0.0, 10.0, -4.0, 7.25, 23.5}) {
        for (double frameRate : {200.0, 120.0}) {
            Recording r;
            r.record(3.0, delayMs / 1000.0, frameRate);
            const Lag lag = estimateLag(r.gyroscope, r.frames, r.timeline);
            ASSERT_TRUE(lag.found) << delayMs << " ms at " << frameRate << " Hz";
            EXPECT_NEAR(delayMs, lag.milliseconds, 0.25) << delayMs << " ms at " << frameRate << " Hz";
            EXPECT_GT(lag.correlation, 0.99);
        }
    }
}

TEST(LatencyLag, NoisyOpticalAnglesStillGiveTheDelayWithinHalfAFrame) {
    Recording r;
    r.record(4.0, 0.010, 200.0, 0.05, 7);
    const Lag lag = estimateLag(r.gyroscope, r.frames, r.timeline);
    ASSERT_TRUE(lag.found);
    EXPECT_NEAR(10.0, lag.milliseconds, 2.5);
}

TEST(LatencyLag, TheLastRayMovingToAnotherLightIsNotATurn) {
    Recording r;
    r.record(3.0, 0.010, 200.0, 0.0, 1, 25);
    const Lag lag = estimateLag(r.gyroscope, r.frames, r.timeline);
    ASSERT_TRUE(lag.found);
    EXPECT_NEAR(10.0, lag.milliseconds, 0.25);
    // Frames at samples 3, 13, ..., 5993: 600 frames, 599 steps, 23 of them jumps between the
    // lights (at frames 25, 50, ..., 575); shifted by 20 samples the steps ending at 5983 and
    // 5993 reach past the last entry, 5999.
    EXPECT_EQ(599u - 23u - 2u, lag.pairs);
}

TEST(LatencyLag, OnlyTheLastRecordingCounts) {
    Recording r;
    r.record(2.0, 0.030, 200.0);
    r.record(2.0, 0.005, 200.0);
    const Lag lag = estimateLag(r.gyroscope, r.frames, r.timeline);
    ASSERT_TRUE(lag.found);
    EXPECT_NEAR(5.0, lag.milliseconds, 0.25);
}

TEST(LatencyLag, NotFoundWithoutVaryingMotionOrEnoughFrames) {
    Timeline none;
    EXPECT_FALSE(estimateLag({}, {}, none).found);

    // A steady turn: every shift correlates alike, so there is nothing to find.
    Recording steady;
    steady.timeline.starts.push_back({0, 0});
    for (size_t i = 0; i < 4000; ++i) {
        steady.gyroscope.push_back(Vec3f{{0.0f, float(0.01 * double(i)), 0.0f}});
        if (i % 10 == 5) {
            steady.frames.push_back(frameAt(20.0 - 0.01 * double(i)));
            steady.timeline.frameSample.push_back(i + 1);
        }
    }
    EXPECT_FALSE(estimateLag(steady.gyroscope, steady.frames, steady.timeline).found);

    // Too short a recording: 50 ms at 200 Hz is 9 frame pairs.
    Recording brief;
    brief.record(0.05, 0.0, 200.0);
    EXPECT_FALSE(estimateLag(brief.gyroscope, brief.frames, brief.timeline).found);

    // Frames that saw nothing.
    Recording dark;
    dark.record(2.0, 0.0, 200.0);
    for (auto& f : dark.frames)
        f = frameAt(0.0, 0);
    EXPECT_FALSE(estimateLag(dark.gyroscope, dark.frames, dark.timeline).found);
}
