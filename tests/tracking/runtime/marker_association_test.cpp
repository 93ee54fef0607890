// Blob tracks between consecutive frames and label propagation through the History.
#include <gtest/gtest.h>

#include "SyntheticScene.h"
#include "tracking/runtime/pipeline/MarkerAssociation.h"

using namespace TrackingTest;

namespace {

// Feeds frames at times t0, t0 + dt, ... into a History the way the optimiser does: add, then
// associate with the previous frame's entries. `labelled(k)` says whether frame k carries labels.
struct Feeder {
    explicit Feeder(const SyntheticScene& s) : scene(s) {}
    const SyntheticScene& scene;
    History history;
    std::vector<HistoryMarker> previous, newest;

    void feed(double t, bool labelled) {
        history.add(scene.frame(t, labelled));
        associate(history, scene.markers, scene.truth(t), previous, newest);
        std::swap(previous, newest);
    }
    const std::vector<HistoryMarker>& entries() const { return previous; }
};

SyntheticScene stillScene() {
    SyntheticScene scene;
    scene.v0.setZero();
    scene.acceleration.setZero();
    scene.angularVelocity.setZero();
    return scene;
}

} // namespace

TEST(Association, FirstFrameOnlyBuildsEntries) {
    SyntheticScene scene = stillScene();
    Feeder feeder(scene);
    feeder.feed(0, true);
    const auto& rays = feeder.history.fromNewest(0).frame.rays;
    ASSERT_EQ(feeder.entries().size(), rays.size());
    for (std::size_t i = 0; i < rays.size(); ++i) {
        EXPECT_EQ(rays[i].previousLink, -1);
        EXPECT_EQ(feeder.entries()[i].weight, 1.0f);
        const float distance = KestrelMath::length(scene.markers[rays[i].markerIndex] - scene.truth().position);
        EXPECT_FLOAT_EQ(feeder.entries()[i].distance, distance);
    }
}

TEST(Association, DefaultDistanceFollowsTheMatchedRaysAndIsLimited) {
    SyntheticScene scene = stillScene();
    Feeder feeder(scene);
    EXPECT_EQ(feeder.history.defaultMarkerDistance, 2.0f);
    feeder.feed(0, true);
    double sum = 0;
    for (const Ray& ray : feeder.history.fromNewest(0).frame.rays)
        sum += KestrelMath::length(scene.markers[ray.markerIndex] - scene.truth().position);
    EXPECT_NEAR(feeder.history.defaultMarkerDistance, sum / feeder.history.fromNewest(0).frame.rays.size(), 1e-5);

    scene.p0 = Eigen::Vector3d(0, 9, 0);  // every marker about 9 m away: limited to 5
    Feeder far(scene);
    far.feed(0, true);
    EXPECT_EQ(far.history.defaultMarkerDistance, 5.0f);
    // Unlabelled rays keep it and get the small weight.
    far.feed(0.005, false);
    EXPECT_EQ(far.history.defaultMarkerDistance, 5.0f);
}

TEST(Association, UnlabelledFrameTakesTheLabelsOfThePreviousOne) {
    SyntheticScene scene = stillScene();
    Feeder feeder(scene);
    feeder.feed(0, true);
    feeder.history.fromNewest(0).frame.rays[2].matchedByOrientation = 1;
    feeder.feed(0.005, false);
    const auto& before = feeder.history.fromNewest(1).frame.rays;
    const auto& rays = feeder.history.fromNewest(0).frame.rays;
    for (std::size_t j = 0; j < rays.size(); ++j) {
        EXPECT_EQ(rays[j].previousLink, int32_t(j));
        EXPECT_EQ(rays[j].markerIndex, before[j].markerIndex);
        EXPECT_EQ(rays[j].matchedByOrientation, j == 2 ? 1 : 0);
        EXPECT_FLOAT_EQ(feeder.entries()[j].weight, 0.99f);  // max(0.001, 0.99 * max(0.001, 1))
    }
}

TEST(Association, NewLabelIsCarriedBackAlongTheLinks) {
    SyntheticScene scene = stillScene();
    Feeder feeder(scene);
    for (int k = 0; k < 4; ++k)
        feeder.feed(k * 0.005, false);
    feeder.feed(4 * 0.005, true);
    for (int age = 0; age < 5; ++age) {
        const auto& rays = feeder.history.fromNewest(age).frame.rays;
        for (std::size_t j = 0; j < rays.size(); ++j)
            EXPECT_EQ(rays[j].markerIndex, feeder.history.fromNewest(0).frame.rays[j].markerIndex) << "age " << age;
    }
}

TEST(Association, CarryingBackStopsAtARayThatHasTheLabel) {
    SyntheticScene scene = stillScene();
    Feeder feeder(scene);
    feeder.feed(0, false);
    feeder.feed(0.005, false);
    feeder.feed(0.010, false);
    // The oldest frame's ray 0 says marker 5 (wrongly); the middle one says nothing.
    feeder.history.fromNewest(2).frame.rays[0].markerIndex = 5;
    feeder.history.fromNewest(1).frame.rays[0].markerIndex = 0;
    feeder.history.fromNewest(0).frame.rays[0].markerIndex = -1;
    // New frame: ray 0 labelled 0 by the pose; the previous ray already carries 0, so nothing
    // is carried and the wrong label two frames back stays.
    feeder.feed(0.015, true);
    EXPECT_EQ(feeder.history.fromNewest(1).frame.rays[0].markerIndex, 0);
    EXPECT_EQ(feeder.history.fromNewest(2).frame.rays[0].markerIndex, 0);
    EXPECT_EQ(feeder.history.fromNewest(3).frame.rays[0].markerIndex, 5);
}

TEST(Association, OrientationLabelOverridesAPoseLabelButNotTheReverse) {
    SyntheticScene scene = stillScene();
    Feeder feeder(scene);
    feeder.feed(0, true);
    // Previous ray 1 claims marker 7 without the orientation flag; previous ray 3 claims 8
    // with it.
    auto& old = feeder.history.fromNewest(0).frame.rays;
    old[1].markerIndex = 7;
    old[3].markerIndex = 8;
    old[3].matchedByOrientation = 1;
    FrameRecord next = scene.frame(0.005, true);
    next.frame.rays[1].matchedByOrientation = 1;  // new ray 1: orientation-made
    // Ray 4 agrees with the previous label, which was orientation-made: the flag is ORed in.
    old[4].matchedByOrientation = 1;
    feeder.history.add(next);
    associate(feeder.history, scene.markers, scene.truth(0.005), feeder.previous, feeder.newest);
    const auto& newRays = feeder.history.fromNewest(0).frame.rays;
    const auto& oldRays = feeder.history.fromNewest(1).frame.rays;
    EXPECT_EQ(oldRays[1].markerIndex, newRays[1].markerIndex);  // taken over, with the flag
    EXPECT_EQ(oldRays[1].matchedByOrientation, 1);
    EXPECT_EQ(oldRays[3].markerIndex, 8);                       // new ray has no flag: both keep theirs
    EXPECT_NE(newRays[3].markerIndex, 8);
    EXPECT_EQ(newRays[4].matchedByOrientation, 1);
}

TEST(Association, FastMotionIsFollowedThroughThePrediction) {
    SyntheticScene scene = stillScene();
    scene.v0 = Eigen::Vector3d(3.0, 0, 0);  // 15 mm per frame: beyond the 10 mm gate unpredicted
    Feeder feeder(scene);
    feeder.feed(0, true);
    feeder.feed(0.005, false);
    const auto& rays = feeder.history.fromNewest(0).frame.rays;
    const auto& before = feeder.history.fromNewest(1).frame.rays;
    int linked = 0;
    // The History keeps the prediction of each previous blob: within the 10 mm gate of the ray
    // that continues it, where the blob seen before lies 15 mm off.
    const auto& projections = feeder.history.projections;
    ASSERT_EQ(projections.size(), before.size());
    for (const Ray& ray : rays)
        if (ray.previousLink >= 0) {
            ++linked;
            EXPECT_EQ(ray.markerIndex, before[ray.previousLink].markerIndex);
            const HistoryMarker& predicted = projections[std::size_t(ray.previousLink)];
            const float lateral = KestrelMath::length((predicted.direction - ray.direction) * predicted.distance);
            EXPECT_LT(lateral, 0.01f);
            const float unpredicted = KestrelMath::length((before[ray.previousLink].direction - ray.direction) * predicted.distance);
            EXPECT_GT(unpredicted, 0.012f);
        }
    EXPECT_EQ(linked, int(rays.size()));

    // The same two frames with the state claiming no motion: the blobs are not linked.
    Feeder blind(scene);
    blind.history.add(scene.frame(0, true));
    associate(blind.history, scene.markers, scene.truth(0), blind.previous, blind.newest);
    std::swap(blind.previous, blind.newest);
    blind.history.add(scene.frame(0.005, false));
    OptimizerState still = scene.truth(0.005);
    still.velocity = {{0, 0, 0}};
    associate(blind.history, scene.markers, still, blind.previous, blind.newest);
    for (const Ray& ray : blind.history.fromNewest(0).frame.rays)
        EXPECT_EQ(ray.previousLink, -1);
}
