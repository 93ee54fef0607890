// Camera placement from one bar: solveBar and OrbEnvironmentSingle::matchRays against scenes
// built from known poses.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

#include "SceneGeometry.h"
#include "tracking/environments/BarGeometry.h"
#include "tracking/environments/OrbEnvironmentSingle.h"

using namespace Kestrel::Orb::Tracking;
using namespace SceneGeometry;

namespace {

struct BarScene {
    double barLength, middleRatio;
    TruePose pose;
    Vec markers[3];
    Vec rays[3];
};

// Markers at -L/2, -L/2 + qL and L/2 on the x axis; the camera 1 to 2.5 m above, within 0.8 m
// of the bar's centre horizontally, looking roughly down.
// Scenes whose perspective moves the middle marker's image too far from middleRatio (the
// detector allows 0.05) or that put a marker near the edge of the view are drawn again.
BarScene randomScene(std::mt19937& random) {
    std::uniform_real_distribution<double> unitInterval(0, 1);
    auto between = [&](double a, double b) { return a + (b - a) * unitInterval(random); };
    for (;;) {
        BarScene scene;
        // Environments hold their parameters as floats.
        scene.barLength = float(between(0.6, 1.6));
        scene.middleRatio = float(between(0.2, 0.4));
        const double L = scene.barLength, q = scene.middleRatio;
        scene.markers[0] = {-L / 2, 0, 0};
        scene.markers[1] = {-L / 2 + q * L, 0, 0};
        scene.markers[2] = {L / 2, 0, 0};
        scene.pose.position = {between(-0.8, 0.8), between(1.0, 2.5), between(-0.8, 0.8)};
        scene.pose.rotation = multiply(rotationY(between(-pi, pi)),
                                       multiply(rotationX(between(-0.5, 0.5)), rotationZ(between(-0.5, 0.5))));
        bool visible = true;
        for (int k = 0; k < 3; ++k) {
            scene.rays[k] = scene.pose.rayTo(scene.markers[k]);
            visible = visible && scene.rays[k][1] < -0.3;
        }
        if (!visible)
            continue;
        auto image = [&](int k) { return Vec{scene.rays[k][0] / -scene.rays[k][1], scene.rays[k][2] / -scene.rays[k][1], 0}; };
        const double seenRatio = norm(sub(image(1), image(0))) / norm(sub(image(2), image(0)));
        if (std::abs(seenRatio - q) < 0.04)
            return scene;
    }
}

std::vector<Vec3f> raysOf(const BarScene& scene) {
    return {toFloat(scene.rays[0]), toFloat(scene.rays[1]), toFloat(scene.rays[2])};
}

// The pose a single bar is expected to give: the bar's direction b in the camera frame goes to
// +x, and the world's up seen from the camera stays in the plane of the camera's y axis and b
// (no turn about the bar). Every rotation about the x axis keeps the markers in place, so the
// position is the true one turned the same way.
void expectedPose(const BarScene& scene, Mat& rotation, Vec& position) {
    const Vec bar_camera = times(transpose(scene.pose.rotation), Vec{1, 0, 0});
    const Vec up_camera = unit(sub(Vec{0, 1, 0}, scale(bar_camera, bar_camera[1])));
    rotation = {bar_camera, up_camera, cross(bar_camera, up_camera)};
    const Mat turn = multiply(rotation, transpose(scene.pose.rotation));
    position = times(turn, scene.pose.position);
}

Vec positionOf(const Pose& pose) { return toVec(pose.position); }

} // namespace

TEST(SolveBar, RecoversTheMarkerDistancesOfRandomScenes) {
    std::mt19937 random(20261208);
    double worst = 0;
    for (int i = 0; i < 400; ++i) {
        const BarScene scene = randomScene(random);
        const BarPlacement placement = solveBar(toFloat(scene.rays[0]), toFloat(scene.rays[1]), toFloat(scene.rays[2]),
                                                float(scene.barLength), float(scene.middleRatio));
        for (int k = 0; k < 3; ++k) {
            const double truth = norm(sub(scene.markers[k], scene.pose.position));
            ASSERT_NEAR(placement.distance[k], truth, 1e-4) << "scene " << i << " marker " << k;
            worst = std::max(worst, std::abs(placement.distance[k] - truth));
        }
        // Foot point and distance from the bar's line, from the camera's position directly.
        const double footAlongBar = (scene.pose.position[0] + scene.barLength / 2) / scene.barLength;
        const double offLine = std::hypot(scene.pose.position[1], scene.pose.position[2]);
        EXPECT_NEAR(placement.u * scene.barLength, footAlongBar * scene.barLength, 1e-4);
        EXPECT_NEAR(placement.e, offLine, 1e-4);
    }
    RecordProperty("worstDistanceError", std::to_string(worst));
}

TEST(SolveBar, CameraStraightAboveTheMiddleMarker) {
    // L = 1, q = 0.25, camera 1 m above the middle marker: d1 = 1, d0 = sqrt(1 + 0.25^2),
    // d2 = sqrt(1 + 0.75^2), u = 0.25, e = 1.
    const Vec camera{-0.25, 1, 0};
    const Vec markers[3] = {{-0.5, 0, 0}, {-0.25, 0, 0}, {0.5, 0, 0}};
    Vec3f rays[3];
    for (int k = 0; k < 3; ++k)
        rays[k] = toFloat(unit(sub(markers[k], camera)));
    const BarPlacement placement = solveBar(rays[0], rays[1], rays[2], 1.0f, 0.25f);
    EXPECT_NEAR(placement.u, 0.25, 1e-6);
    EXPECT_NEAR(placement.e, 1.0, 1e-6);
    EXPECT_NEAR(placement.distance[0], 1.0307764064, 1e-6);
    EXPECT_NEAR(placement.distance[1], 1.0, 1e-6);
    EXPECT_NEAR(placement.distance[2], 1.25, 1e-6);
}

TEST(SingleBar, MarkersAndGrid) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    const std::vector<Vec3f> markers = single.markerPositions();
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_FLOAT_EQ(markers[0].x(), -0.5f);
    EXPECT_FLOAT_EQ(markers[1].x(), -0.2f);
    EXPECT_FLOAT_EQ(markers[2].x(), 0.5f);
    for (const Vec3f& m : markers) {
        EXPECT_EQ(m.y(), 0.0f);
        EXPECT_EQ(m.z(), 0.0f);
    }
    EXPECT_FALSE(single.isAdaptive());
    EXPECT_FALSE(single.hasBounds());
    EXPECT_EQ(single.boundsCornerCount(), 0);
    EXPECT_NEAR(single.markerGrid.minSpacing, 0.3f, 1e-6);
    EXPECT_EQ(single.markerGrid.grid.points.size(), 3u);
}

TEST(SingleBar, RecoversIndicesAndPoseOfRandomScenes) {
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        const BarScene scene = randomScene(random);
        OrbEnvironmentSingle single(float(scene.barLength), float(scene.middleRatio));
        std::vector<MarkerIndex> indices;
        Pose pose{};
        ASSERT_TRUE(single.matchRays(raysOf(scene), indices, pose)) << "scene " << i;
        EXPECT_EQ(indices, (std::vector<MarkerIndex>{0, 1, 2}));

        Mat rotation;
        Vec position;
        expectedPose(scene, rotation, position);
        ASSERT_LT(largestDifference(matrixOf(pose.rotation), rotation), 1e-4) << "scene " << i;
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(pose.position[k], position[k], 1e-4) << "scene " << i << " axis " << k;
        // The pose puts every marker where its ray points.
        const std::vector<Vec3f> markers = single.markerPositions();
        for (int k = 0; k < 3; ++k) {
            const double distance = norm(sub(scene.markers[k], scene.pose.position));
            const Vec predicted = add(times(matrixOf(pose.rotation), scale(scene.rays[k], distance)), positionOf(pose));
            EXPECT_LT(norm(sub(predicted, toVec(markers[k]))), 2e-4);
        }
    }
}

struct NoiseStatistics {
    int matched = 0;
    double meanPosition = 0, worstPosition = 0, worstRotation = 0;
};

// Pose errors over `scenes` random scenes whose rays are each turned by `noise` radians.
NoiseStatistics poseErrorsWithNoise(double noise, int scenes, unsigned seed) {
    std::mt19937 random(seed);
    NoiseStatistics statistics;
    for (int i = 0; i < scenes; ++i) {
        BarScene scene = randomScene(random);
        for (Vec& ray : scene.rays)
            ray = perturb(ray, noise, random);
        OrbEnvironmentSingle single(float(scene.barLength), float(scene.middleRatio));
        std::vector<MarkerIndex> indices;
        Pose pose{};
        if (!single.matchRays(raysOf(scene), indices, pose))
            continue;
        ++statistics.matched;
        Mat rotation;
        Vec position;
        expectedPose(scene, rotation, position);
        const double positionError = norm(sub(positionOf(pose), position));
        statistics.meanPosition += positionError;
        statistics.worstPosition = std::max(statistics.worstPosition, positionError);
        statistics.worstRotation = std::max(statistics.worstRotation, angleBetween(matrixOf(pose.rotation), rotation));
    }
    statistics.meanPosition /= std::max(statistics.matched, 1);
    return statistics;
}

// A single bar fixes the bar's tilt towards the camera only through perspective, so noise is
// amplified: with 0.5 mrad the position error is about 2 cm on average at 1 to 2.5 m, tens of
// centimetres in the worst scene. The bounds below are about 1.5 times what this geometry
// gives; a wrong sign or axis anywhere gives errors of the order of the scene itself. Ten
// times less noise must give about ten times smaller errors.
TEST(SingleBar, PoseErrorStaysSmallWithHalfAMilliradianOfRayNoise) {
    const int scenes = 300;
    const NoiseStatistics half = poseErrorsWithNoise(0.5e-3, scenes, 99);
    const NoiseStatistics tenth = poseErrorsWithNoise(0.05e-3, scenes, 99);
    std::printf("noise 0.5 mrad: %d of %d matched, position error mean %.4f m, worst %.4f m, rotation worst %.4f rad\n",
                half.matched, scenes, half.meanPosition, half.worstPosition, half.worstRotation);
    std::printf("noise 0.05 mrad: position error mean %.5f m, worst %.5f m, rotation worst %.5f rad\n",
                tenth.meanPosition, tenth.worstPosition, tenth.worstRotation);
    EXPECT_GE(half.matched, scenes * 95 / 100);
    EXPECT_LT(half.meanPosition, 0.03);
    EXPECT_LT(half.worstPosition, 0.3);
    EXPECT_LT(half.worstRotation, 0.11);
    EXPECT_LT(tenth.meanPosition, half.meanPosition * 0.15);
    EXPECT_LT(tenth.worstRotation, half.worstRotation * 0.15);
}

TEST(SingleBar, TooFewRaysLeaveTheOutputsUntouched) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    std::vector<MarkerIndex> indices{7, 7};
    Pose pose{Vec3f{{1, 2, 3}}, Quatf{0, 0, 0, 1}};
    EXPECT_FALSE(single.matchRays({Vec3f{{0, -1, 0}}, Vec3f{{0.1f, -1, 0}}}, indices, pose));
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{7, 7}));
    EXPECT_EQ(pose.position, (Vec3f{{1, 2, 3}}));
}

TEST(SingleBar, RaysThatDoNotFormTheBarAreNotIdentified) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    std::vector<MarkerIndex> indices;
    Pose pose{};
    auto ray = [](double x, double z) { return toFloat(unit(Vec{x, -1, z})); };
    // Middle at 0.4 of the bar instead of 0.3 (outside the 0.05 tolerance).
    EXPECT_FALSE(single.matchRays({ray(0, 0), ray(0.4, 0), ray(1, 0)}, indices, pose));
    // Middle at the right fraction but 0.02 of the bar's length off its line.
    EXPECT_FALSE(single.matchRays({ray(0, 0), ray(0.3, 0.02), ray(1, 0)}, indices, pose));
    EXPECT_TRUE(indices.empty());
    // Within both tolerances: identified.
    EXPECT_TRUE(single.matchRays({ray(0, 0), ray(0.34, 0.005), ray(1, 0)}, indices, pose));
}

TEST(SingleBar, TwoBarsInViewAreNotIdentified) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    auto ray = [](double x, double z) { return toFloat(unit(Vec{x, -1, z})); };
    std::vector<MarkerIndex> indices;
    Pose pose{};
    const std::vector<Vec3f> one{ray(0, 0), ray(0.3, 0), ray(1, 0)};
    ASSERT_TRUE(single.matchRays(one, indices, pose));
    std::vector<Vec3f> two = one;
    for (Vec3f r : {ray(0, 2), ray(0.3, 2), ray(1, 2)})
        two.push_back(r);
    indices.clear();
    EXPECT_FALSE(single.matchRays(two, indices, pose));
    EXPECT_TRUE(indices.empty());
}

TEST(SingleBar, AFourthRayFarFromTheBarGetsMinusOne) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    auto ray = [](double x, double z) { return toFloat(unit(Vec{x, -1, z})); };
    std::vector<MarkerIndex> indices;
    Pose pose{};
    // The bar listed last-first, with the stray ray in between.
    ASSERT_TRUE(single.matchRays({ray(1, 0), ray(-0.5, 1.5), ray(0.3, 0), ray(0, 0)}, indices, pose));
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{2, -1, 1, 0}));
}

TEST(SingleBar, ServesTheBarDetectionHook) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    auto ray = [](double x, double z) { return toFloat(unit(Vec{x, -1, z})); };
    const std::vector<Vec3f> rays{ray(0, 0), ray(0.3, 0), ray(1, 0), ray(-0.5, 1.5)};
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::vector<MarkerIndex> indices;
        Pose pose{};
        while (!stop)
            single.matchRays(rays, indices, pose);
    });
    std::size_t pointCount = 0;
    std::vector<Bar> bars;
    Vec3f shape{};
    float scale = 0;
    const bool served = single.barDetectionHook.request([&](const std::vector<Vec2f>& p, const std::vector<Bar>& b,
                                                            const Vec3f& s, float detectorScale) {
        pointCount = p.size();
        bars = b;
        shape = s;
        scale = detectorScale;
    });
    stop = true;
    producer.join();
    ASSERT_TRUE(served);
    EXPECT_EQ(pointCount, 4u);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0], (Bar{{0, 1, 2}}));
    EXPECT_EQ(shape, (Vec3f{{0.6f, 0.6f, 0.0f}}));
    EXPECT_EQ(scale, 0.9f);
}
