// The health figures of synthetic sessions fed straight into the observer calls, with the
// expected values worked out by hand in the comments.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "tracking/runtime/health/SessionHealth.h"
#include "tracking/runtime/health/StrayClusters.h"

namespace {

using namespace Kestrel::Orb::Tracking;
using namespace Kestrel::Orb::Tracking::Health;
using Vec3 = KestrelMath::vector<float, 3>;

// A session on a clock the test moves: `frame(samples)` sends that many gyroscope samples (and
// as many accelerometer samples), then a frame start 5 ms later.
struct Feed {
    int64_t nanoseconds = 0;
    std::shared_ptr<SessionHealth> health;
    explicit Feed(HealthSettings settings = {})
        : health(std::make_shared<SessionHealth>([this] { return nanoseconds; }, settings)) {}
    void frame(int samples, int32_t stage = 2, int points = 0, int32_t value = 1000) {
        for (int k = 0; k < samples; ++k) {
            health->gyroscopeSample(Vec3{{0, 0, 0}}, false);
            health->accelerometerSample();
        }
        health->frameBegan(stage);
        for (int k = 0; k < points; ++k)
            health->pointReceived(0.1f * float(k), 0.0f, value, true);
        nanoseconds += 5'000'000;
    }
};

bool has(const HealthReport& r, FindingKind kind) {
    for (const Finding& f : r.findings)
        if (f.kind == kind)
            return true;
    return false;
}

TEST(SessionHealth, CountsLostFramesAndInertialGapsOnTheSampleClock) {
    Feed feed;
    // 100 frames 10 samples apart, one interval of 30 samples (two frames missing), 100 more,
    // then five intervals of 0 samples (a 50-sample inertial gap) and 50 usual ones.
    for (int k = 0; k < 100; ++k)
        feed.frame(10, 2, 4);
    feed.frame(30, 2, 4);
    for (int k = 0; k < 100; ++k)
        feed.frame(10, 2, 4);
    for (int k = 0; k < 5; ++k)
        feed.frame(0, 2, 4);
    for (int k = 0; k < 50; ++k)
        feed.frame(10, 2, 4);
    const HealthReport r = feed.health->snapshot();
    // 256 frames received, 2 lost: 2 / 258.
    EXPECT_EQ(r.optical.frames, 256);
    EXPECT_EQ(r.optical.lostFrames, 2);
    EXPECT_NEAR(r.optical.lostShare, 2.0 / 258.0, 1e-12);
    EXPECT_NEAR(r.optical.intervalMs, 5.0, 1e-9);
    EXPECT_NEAR(r.optical.intervalJitterMs, 0.0, 1e-9);
    EXPECT_EQ(r.inertial.gaps, 1);
    EXPECT_EQ(r.inertial.missingSamples, 50);
    EXPECT_NEAR(r.inertial.longestGapMs, 25.0, 1e-9);
    // Session from the first frame to the last: 255 frame times of 5 ms; 2530 samples in all
    // (1000 + 30 + 1000 + 0 + 500).
    EXPECT_NEAR(r.seconds, 1.275, 1e-9);
    EXPECT_NEAR(r.optical.frameRate, 255 / 1.275, 1e-9);
    EXPECT_NEAR(r.inertial.gyroscopeRate, 2530 / 1.275, 1e-9);
    EXPECT_NEAR(r.optical.pointsPerFrame, 4.0, 1e-12);
    // 0.78 % lost is above the 0.5 % threshold; 25 ms missing is above 20 ms.
    EXPECT_TRUE(has(r, FindingKind::LostFrames));
    EXPECT_TRUE(has(r, FindingKind::InertialGaps));
    // Windows of 1 s: frames 0..199 in the first, the rest in the second.
    ASSERT_EQ(r.windows.size(), 2u);
    EXPECT_EQ(r.windows[0].frames, 200);
    EXPECT_EQ(r.windows[0].lostFrames, 2);
    EXPECT_EQ(r.windows[1].missingSamples, 50);
}

TEST(SessionHealth, JitterIsTheSpreadOfTheUsualIntervals) {
    Feed feed;
    // Intervals alternating 9 and 11 samples: mean 10 (5 ms), standard deviation 1 sample
    // (0.5 ms), which is 10 % of the interval: below the 25 % of a finding.
    for (int k = 0; k < 400; ++k)
        feed.frame(k % 2 ? 9 : 11);
    const HealthReport r = feed.health->snapshot();
    EXPECT_NEAR(r.optical.intervalMs, 5.0, 0.003);
    EXPECT_NEAR(r.optical.intervalJitterMs, 0.5, 0.002);
    EXPECT_EQ(r.optical.lostFrames, 0);
    EXPECT_EQ(r.inertial.gaps, 0);
    EXPECT_FALSE(has(r, FindingKind::FrameJitter));
    EXPECT_TRUE(r.findings.empty());
}

TEST(SessionHealth, SaturatedBlobsAndInvalidSequences) {
    Feed feed;
    // 300 frames of 4 points; in 100 of them all 4 at the top value: 400 of 1200 saturated.
    for (int k = 0; k < 300; ++k)
        feed.frame(10, 2, 4, k % 3 == 0 ? 32128 : 1000);
    for (int k = 0; k < 3; ++k)
        feed.health->invalidSequence();
    const HealthReport r = feed.health->snapshot();
    EXPECT_EQ(r.optical.saturatedBlobs, 400);
    EXPECT_NEAR(r.optical.saturatedShare, 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(r.optical.meanBlobValue, (400 * 32128.0 + 800 * 1000.0) / 1200.0, 1e-9);
    EXPECT_EQ(r.optical.invalidSequences, 3);
    EXPECT_TRUE(has(r, FindingKind::SaturatedBlobs));
    // No frame lost, but three invalid sequences are enough to name lost data.
    EXPECT_TRUE(has(r, FindingKind::LostFrames));
}

// A camera 1.5 m above the floor looking straight down: the tracker turned by +90 degrees about
// x maps its z axis onto -y, (x, y, z) -> (x, -z, y).
struct DownwardCamera {
    OptimizerState pose{};
    std::vector<Vec3> markers;
    OpticFrame frame;
    DownwardCamera() {
        const float h = float(std::sqrt(0.5));
        pose.position = {{0.0f, 1.5f, 0.0f}};
        pose.rotation = {h, 0.0f, 0.0f, h};
        // Markers 0 and 1 will be matched rarely, 2 and 3 always, 4 lies far outside the view.
        markers = {Vec3{{0, 0, 0}}, Vec3{{0.3f, 0, 0}}, Vec3{{-0.3f, 0, 0}}, Vec3{{0, 0, 0.3f}}, Vec3{{10, 0, 0}}};
    }
    Ray ray(float x, float y, float z, int32_t marker) const {
        Ray r{};
        const float n = std::sqrt(x * x + y * y + z * z);
        r.direction = {{x / n, y / n, z / n}};
        r.point = {{x / z, y / z}};
        r.value = 1.0f;
        r.markerIndex = marker;
        return r;
    }
    BatchObservation batch() const {
        BatchObservation b;
        b.newest = &frame;
        b.state = &pose;
        b.markers = &markers;
        b.ok = true;
        b.quality = 0.01f;
        b.frames = 1;
        return b;
    }
};

TEST(SessionHealth, MarkerMatchRatesAndAStrayLightOnThePlane) {
    Feed feed;
    // A pinhole-like view (xi 0) out to 60 degrees (r^2 = sin^2 60 = 0.75), no sensor outline.
    CameraView view;
    view.xi = 0;
    view.maximumRadiusSquared = 0.75f;
    feed.health->cameraDescribed(view);
    DownwardCamera scene;
    // The stray ray (0.3, 0.2, 1) in the camera frame is (0.3, -1, 0.2) in the room; from the
    // camera at (0, 1.5 - 0.0162, 0) = (0, 1.4838, 0) it meets y = 0 after t = 1.4838 at
    // (0.44514, 0, 0.29676), 0.33 m from the nearest marker.
    for (int k = 0; k < 150; ++k) {
        feed.frame(10);
        scene.frame.rays = {scene.ray(0.3f, 0.2f, 1.0f, -1), scene.ray(-0.2f, 0.0f, 1.0f, 2), scene.ray(0, -0.2f, 1, 3)};
        if (k % 5 == 0)  // marker 0 in 30 of the 150 frames
            scene.frame.rays.push_back(scene.ray(0, 0, 1, 0));
        feed.health->batchProcessed(scene.batch());
    }
    const HealthReport r = feed.health->snapshot();
    ASSERT_EQ(r.markers.size(), 5u);
    EXPECT_EQ(r.markers[0].framesInView, 150);
    EXPECT_EQ(r.markers[0].framesMatched, 30);
    EXPECT_NEAR(r.markers[0].matchRate, 0.2, 1e-12);
    EXPECT_EQ(r.markers[1].framesInView, 150);
    EXPECT_EQ(r.markers[1].framesMatched, 0);
    EXPECT_NEAR(r.markers[2].matchRate, 1.0, 1e-12);
    EXPECT_EQ(r.markers[4].framesInView, 0);
    EXPECT_NEAR(r.pipeline.matchedRaysPerFrame, 2.2, 1e-12);
    EXPECT_NEAR(r.pipeline.unmatchedRaysPerFrame, 1.0, 1e-12);

    ASSERT_FALSE(r.straySources.empty());
    const StraySource& s = r.straySources[0];
    EXPECT_NEAR(s.position.x, 0.44514, 1e-4);
    EXPECT_NEAR(s.position.y, 0.0, 1e-6);
    EXPECT_NEAR(s.position.z, 0.29676, 1e-4);
    EXPECT_EQ(s.hits, 150);
    EXPECT_FALSE(s.triangulated);  // one viewpoint cannot place it off the plane
    EXPECT_EQ(s.nearMarker, -1);

    // Two markers below 30 % (and below half the usual 100 %), one steady light.
    int rare = 0, stray = 0;
    for (const Finding& f : r.findings) {
        rare += f.kind == FindingKind::MarkerRarelyMatched;
        // No tiles described: the marker is named by its position.
        if (f.kind == FindingKind::MarkerRarelyMatched && f.marker == 0) {
            EXPECT_EQ(f.text.rfind("Marker 0 at (", 0), 0u) << f.text;
        }
        if (f.kind == FindingKind::StrayLight) {
            ++stray;
            EXPECT_NEAR(f.position.x, 0.44514, 1e-4);
            EXPECT_NEAR(f.position.z, 0.29676, 1e-4);
            EXPECT_NE(f.text.find("steady"), std::string::npos) << f.text;
        }
    }
    EXPECT_EQ(rare, 2);
    EXPECT_EQ(stray, 1);
}

TEST(SessionHealth, StagesLossesAndTimeTo6Dof) {
    Feed feed;
    // 3DoF for 100 frames (0.5 s), 6DoF for 200, blind for 10, 3DoF for 50 (a loss), 6DoF for
    // 100 (a re-identification).
    for (int k = 0; k < 100; ++k)
        feed.frame(10, 1);
    for (int k = 0; k < 200; ++k)
        feed.frame(10, 2);
    for (int k = 0; k < 10; ++k)
        feed.frame(10, 3);
    for (int k = 0; k < 50; ++k)
        feed.frame(10, 1);
    for (int k = 0; k < 100; ++k)
        feed.frame(10, 2);
    const HealthReport r = feed.health->snapshot();
    EXPECT_NEAR(r.pipeline.timeTo6Dof, 0.5, 1e-9);
    EXPECT_EQ(r.pipeline.blindEpisodes, 1);
    EXPECT_EQ(r.pipeline.losses, 1);
    EXPECT_EQ(r.pipeline.reidentifications, 1);
    // Each frame's stage lasts until the next frame: 150 frames of 3DoF, 299 of 6DoF (the last
    // frame has no successor), 10 blind.
    EXPECT_NEAR(r.pipeline.stageSeconds[1], 0.75, 1e-9);
    EXPECT_NEAR(r.pipeline.stageSeconds[2], 1.495, 1e-9);
    EXPECT_NEAR(r.pipeline.stageSeconds[3], 0.05, 1e-9);
}

TEST(SessionHealth, SnapshotWhileFedFromAnotherThread) {
    Feed feed;
    std::thread feeder([&] {
        for (int k = 0; k < 2000; ++k)
            feed.frame(10, 2, 3);
    });
    int64_t last = 0;
    for (int k = 0; k < 50; ++k) {
        const HealthReport r = feed.health->snapshot();
        EXPECT_GE(r.optical.frames, last);
        last = r.optical.frames;
    }
    feeder.join();
    EXPECT_EQ(feed.health->snapshot().optical.frames, 2000);
}

} // namespace

// A light seen only in frames where its place is not well in view (frames 4k and 4k+1 seen,
// 4k+1 to 4k+3 in view) is seen in a third of its in-view frames, not in most of them.
// It becomes a candidate at its 20th sighting (frame 37); in view from then: 163 frames less the
// 40 frames 4k in 40..196 = 123; seen in those: frames 4k+1 from 37 to 197 = 41; 41 / 123.
TEST(StrayClusters, ShareCountsOnlySightingsInFramesInView) {
    StrayClusters clusters(0.15);
    for (int64_t f = 0; f < 200; ++f) {
        if (f % 4 < 2)
            clusters.add(f, Point3{0, 2, 0}, Point3{0, -1, 0}, 0.0, 1000.0, 0.0, 0.0);
        clusters.countInView(f, [f](const Point3&) { return f % 4 != 0; });
    }
    const std::vector<StraySource> sources = clusters.sources(1, {});
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].framesInView, 123);
    EXPECT_NEAR(sources[0].frameShare, 41.0 / 123.0, 1e-12);
}
