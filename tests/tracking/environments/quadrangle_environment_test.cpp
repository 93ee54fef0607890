// OrbEnvironmentQuadrangle learning a disturbed square of four bars from synthetic frames of a
// moving camera, and its edge cases: too few rays, one bar, corners not all seen, forgetting,
// the solve timing, matching before and after the first solution, the ABI face, threads.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "QuadrangleScene.h"
#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/OrbEnvironmentQuadrangle.h"
#include "tracking/environments/QuadrangleClock.h"

using namespace Kestrel::Orb::Tracking;
using namespace QuadrangleScene;

namespace {

std::atomic<int64_t> fakeNow{0};
int64_t readFakeClock() { return fakeNow.load(); }

constexpr int64_t frameMicroseconds = 20000;  // frames at 50 Hz

class Quadrangle : public ::testing::Test {
protected:
    void SetUp() override {
        QuadrangleClock::reset();
        fakeNow = 1000000;
        QuadrangleClock::setSource(&readFakeClock);
    }
    void TearDown() override {
        QuadrangleClock::setSource(nullptr);
        QuadrangleClock::reset();
    }
};

// The camera's path: `dwell` seconds near each corner of `order` in turn, circling 15 cm around
// the corner view at about 1.7 m, turning and tilting a little.
TruePose pathPose(double t, const std::vector<int>& order, double dwell = 1.0) {
    const int corner = order[std::size_t(t / dwell) % order.size()];
    const double phase = 2 * pi * std::fmod(t, dwell) / dwell;
    const auto centre = cornerView(corner);
    return cameraAt(centre[0] + 0.15 * std::cos(phase), 1.7 + 0.1 * std::sin(phase), centre[1] + 0.15 * std::sin(phase),
                    0.3 + 0.5 * t, 0.05 * std::sin(3 * t), 0.04 * std::cos(2 * t));
}

// The up direction turned by `error` radians about a random axis.
Vec3f upWithError(const Frame& frame, double error, std::mt19937& random) {
    if (error == 0)
        return frame.up;
    return toFloat(perturb(toVec(frame.up), error, random));
}

struct FeedResult {
    int firstSolution = -1;        // frame of the first solution
    int solves = 0;
    bool trueBeforeAllSeen = false;
    bool revisionSkipped = false;  // a solve that did not advance the revision by exactly 1
    std::vector<int> solvedFrames;
};

// Feeds `frames` frames along the path; clock advances 20 ms per frame.
FeedResult feed(OrbEnvironmentQuadrangle& environment, const Layout& layout, int frames, const std::vector<int>& order,
         double noise, double upError, std::mt19937& random, int firstFrame = 0) {
    FeedResult run;
    for (int i = firstFrame; i < firstFrame + frames; ++i) {
        fakeNow += frameMicroseconds;
        const Frame frame = frameOf(layout, pathPose(i * 0.02, order), noise, random);
        const uint8_t seenBefore = environment.seenCorners();
        const int32_t revisionBefore = environment.revision();
        const bool solved = environment.update(frame.rays, float(xi), upWithError(frame, upError, random));
        if (solved) {
            if (seenBefore != 15 && environment.seenCorners() != 15)
                run.trueBeforeAllSeen = true;
            if (environment.revision() != revisionBefore + 1)
                run.revisionSkipped = true;
            if (run.firstSolution < 0)
                run.firstSolution = i;
            ++run.solves;
            run.solvedFrames.push_back(i);
        } else if (environment.revision() != revisionBefore) {
            run.revisionSkipped = true;
        }
    }
    return run;
}

double largestMarkerError(const OrbEnvironmentQuadrangle& environment, const Layout& layout) {
    const std::vector<Vec3f> solved = environment.markerPositions();
    double largest = 0;
    for (int i = 0; i < 12; ++i)
        largest = std::max(largest, norm(sub(toVec(solved[i]), layout.markerOnSide0(i))));
    return largest;
}

void expectConvergence(double noise, double upError, unsigned seed) {
    std::mt19937 random(seed);
    const Layout layout = disturbedLayout(random);
    OrbEnvironmentQuadrangle environment{float(barLength), float(middleRatio)};
    const FeedResult run = feed(environment, layout, 600, {0, 1, 2, 3}, noise, upError, random);
    EXPECT_EQ(environment.seenCorners(), 15);
    EXPECT_FALSE(run.trueBeforeAllSeen);
    EXPECT_FALSE(run.revisionSkipped);
    // All four corners are seen after three dwells; the first solution comes with the fourth.
    ASSERT_GE(run.firstSolution, 150);
    ASSERT_LT(run.firstSolution, 200);
    // After the first solution the next solve waits until 200001 us after the mask was first
    // complete: frames 20 ms apart, so ten frames pass without one and the eleventh solves.
    ASSERT_GE(run.solvedFrames.size(), 2u);
    EXPECT_EQ(run.solvedFrames[1], run.firstSolution + 11);
    // From then on every frame solves.
    EXPECT_EQ(run.solves, 600 - (run.firstSolution + 11) + 1);
    EXPECT_EQ(environment.revision(), run.solves - 1);
    EXPECT_LT(largestMarkerError(environment, layout), 0.01);
    const auto poses = environment.barPoses();
    EXPECT_EQ(poses[0].x, 0);
    EXPECT_EQ(poses[0].y, 0);
    EXPECT_EQ(poses[0].heading, 0);
}

} // namespace

TEST_F(Quadrangle, LearnsTheSquareWithoutNoise) { expectConvergence(0, 0, 1); }

TEST_F(Quadrangle, LearnsTheSquareWithHalfAMilliradianOfNoiseAndAnUpOffByHalfADegree) {
    expectConvergence(0.0005, 0.5 * pi / 180, 2);
    QuadrangleClock::reset();
    expectConvergence(0.0005, 0.5 * pi / 180, 3);
}

TEST_F(Quadrangle, FewerThanThreeRaysChangeNothing) {
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    std::mt19937 random(4);
    Frame frame = frameOf(nominalLayout(), cameraAt(1.1, 1.7, 0.4, 0), 0, random);
    frame.rays.resize(2);
    EXPECT_FALSE(environment.update(frame.rays, float(xi), frame.up));
    EXPECT_EQ(environment.seenCorners(), 0);
    std::vector<MarkerIndex> indices{7, 7};
    Pose pose{Vec3f{{1, 2, 3}}, Quatf{0, 0, 0, 1}};
    EXPECT_FALSE(environment.matchRays({frame.rays[0].direction, frame.rays[1].direction}, indices, pose));
    EXPECT_EQ(indices, (std::vector<MarkerIndex>{7, 7}));
    EXPECT_EQ(pose.position.y(), 2);
}

TEST_F(Quadrangle, OneBarInViewIsNotMatched) {
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    std::mt19937 random(5);
    // Above side 0 with a narrow view: its three markers only.
    const TruePose camera = cameraAt(0, 1.7, -0.3, 0.2);
    const Frame frame = frameOf(nominalLayout(), camera, 0, random, 35 * pi / 180);
    ASSERT_EQ(frame.rays.size(), 3u);
    const Vec3f levelled[3] = {levellingRotation(frame.up).rotate(frame.rays[0].direction),
                               levellingRotation(frame.up).rotate(frame.rays[1].direction),
                               levellingRotation(frame.up).rotate(frame.rays[2].direction)};
    std::vector<MarkerIndex> indices;
    Pose pose{};
    EXPECT_FALSE(environment.matchRays({levelled[0], levelled[1], levelled[2]}, indices, pose));
    EXPECT_TRUE(indices.empty());
    EXPECT_FALSE(environment.update(frame.rays, float(xi), frame.up));
    EXPECT_EQ(environment.seenCorners(), 0);
}

TEST_F(Quadrangle, NoSolutionUntilAllFourCornersWereSeen) {
    std::mt19937 random(6);
    const Layout layout = disturbedLayout(random);
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    const FeedResult run = feed(environment, layout, 500, {0, 1, 2}, 0, 0, random);
    EXPECT_EQ(run.solves, 0);
    EXPECT_EQ(environment.revision(), -1);
    EXPECT_EQ(environment.seenCorners(), 7);
    // Indices are written from the sides, but without a solution there is no pose.
    const Frame frame = frameOf(layout, pathPose(0, {1}), 0, random);
    std::vector<Vec3f> levelled;
    for (const Vec3f& d : directionsOf(frame))
        levelled.push_back(levellingRotation(frame.up).rotate(d));
    std::vector<MarkerIndex> indices;
    Pose pose{};
    EXPECT_FALSE(environment.matchRays(levelled, indices, pose));
    ASSERT_EQ(indices.size(), frame.markerOfRay.size());
    for (std::size_t i = 0; i < indices.size(); ++i)
        EXPECT_EQ(indices[i], frame.markerOfRay[i]);
    // Nothing is matched near a position either: the marker grid is empty.
    const std::vector<MarkerIndex> near = environment.matchNearPosition({Vec3f{{0, -1, 0}}}, Vec3f{{0, 1.7f, 0}});
    EXPECT_EQ(near, (std::vector<MarkerIndex>{ambiguousMarker}));
    // Corners 0..2 have been accumulated, corner 3 never.
    const AccumulatedCorners corners = environment.referenceCorners();
    EXPECT_TRUE(corners[0].observed() && corners[1].observed() && corners[2].observed());
    EXPECT_FALSE(corners[3].observed());
}

TEST_F(Quadrangle, ACornerOutOfSightKeepsItsValueWhileItsWeightsFallToTheFloor) {
    std::mt19937 random(7);
    const Layout layout = disturbedLayout(random);
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    feed(environment, layout, 400, {0, 1, 2, 3}, 0, 0, random);
    const ReferenceCorner before = environment.referenceCorners()[2];
    EXPECT_GT(before.weightX, 1.0f);
    // Ten seconds at corner 0 only: 2^-10 of the weight is left, below the floor.
    feed(environment, layout, 500, {0}, 0, 0, random, 400);
    const AccumulatedCorners after = environment.referenceCorners();
    EXPECT_EQ(after[2].x, before.x);
    EXPECT_EQ(after[2].y, before.y);
    EXPECT_EQ(after[2].heading, before.heading);
    EXPECT_FLOAT_EQ(after[2].weightX, 0.1f);
    EXPECT_FLOAT_EQ(after[2].weightY, 0.1f);
    EXPECT_FLOAT_EQ(after[2].weightHeading, 0.1f);
    // The corner in view keeps gathering weight: about 50 frames per halving time.
    EXPECT_GT(after[0].weightX, 10.0f);
    // The layout still holds.
    EXPECT_LT(largestMarkerError(environment, layout), 0.01);
}

TEST_F(Quadrangle, MatchesRaysAndPlacesTheCameraInTheLearnedFrame) {
    std::mt19937 random(8);
    const Layout layout = disturbedLayout(random);
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    feed(environment, layout, 400, {0, 1, 2, 3}, 0, 0, random);
    ASSERT_GE(environment.revision(), 0);

    // The truth in the learned frame: side 0's bar at the origin along +x.
    const BarPose& side0 = layout.bars[0];
    const Mat world_to_side0 = rotationY(side0.heading);  // turns (cos h, 0, sin h) onto +x
    for (int corner = 0; corner < 4; ++corner) {
        const auto centre = cornerView(corner);
        const TruePose camera = cameraAt(centre[0], 1.6, centre[1], 0.4 + corner, 0.03, -0.02);
        const Frame frame = frameOf(layout, camera, 0, random);
        const Quatf levelling = levellingRotation(frame.up);
        std::vector<Vec3f> levelled;
        for (const Vec3f& d : directionsOf(frame))
            levelled.push_back(levelling.rotate(d));
        std::vector<MarkerIndex> indices;
        Pose pose{};
        ASSERT_TRUE(environment.matchRays(levelled, indices, pose)) << "corner " << corner;
        for (std::size_t i = 0; i < indices.size(); ++i)
            EXPECT_EQ(indices[i], frame.markerOfRay[i]);

        const Vec truePosition = times(world_to_side0, sub(camera.position, Vec{side0.x, 0, side0.z}));
        EXPECT_LT(norm(sub(toVec(pose.position), truePosition)), 0.05) << "corner " << corner;
        // pose.rotation maps levelled rays into the learned frame; the truth maps tracker rays.
        const Mat trueLevelled = multiply(multiply(world_to_side0, camera.rotation), transpose(matrixOf(levelling)));
        EXPECT_LT(angleBetween(matrixOf(pose.rotation), trueLevelled), 2 * pi / 180) << "corner " << corner;

        // Near the true position every ray finds its marker in the learned layout.
        std::vector<Vec3f> inLearnedFrame;
        for (const Vec3f& d : directionsOf(frame))
            inLearnedFrame.push_back(toFloat(times(multiply(world_to_side0, camera.rotation), toVec(d))));
        EXPECT_EQ(environment.matchNearPosition(inLearnedFrame, toFloat(truePosition)),
                  std::vector<MarkerIndex>(frame.markerOfRay.begin(), frame.markerOfRay.end()));
    }
}

TEST_F(Quadrangle, ReferenceCornersHookHandsOverOneFrame) {
    std::mt19937 random(9);
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    const Frame frame = frameOf(nominalLayout(), cameraAt(1.1, 1.7, 0.4, 0.5), 0, random);
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        while (!stop) {
            fakeNow += frameMicroseconds;
            environment.update(frame.rays, float(xi), frame.up);
        }
    });
    CornerObservations seen;
    AccumulatedCorners accumulated{};
    float length = 0;
    const bool served = environment.referenceCornersHook.request(
        [&](const CornerObservations& observations, const AccumulatedCorners& corners, float bar) {
            seen = observations;
            accumulated = corners;
            length = bar;
        },
        std::chrono::milliseconds(2000));
    stop = true;
    producer.join();
    ASSERT_TRUE(served);
    EXPECT_EQ(length, 1.5f);
    ASSERT_TRUE(seen[0]);
    EXPECT_FALSE(seen[1] || seen[2] || seen[3]);
    // Corner 0 of the nominal square: side 1 at (1.5, 1.5) turned a quarter from side 0.
    EXPECT_NEAR(seen[0]->x, 1.5, 0.002);
    EXPECT_NEAR(seen[0]->y, 1.5, 0.002);
    EXPECT_NEAR(seen[0]->heading, pi / 2, 0.002);
    EXPECT_TRUE(accumulated[0].observed());
}

TEST_F(Quadrangle, MutableFaceAcrossTheAbi) {
    const auto environment = createEnvironment(std::string("AARRdWFkCAAAwD+amZk+"));
    ASSERT_TRUE(environment);
    const auto mutableFace = environment.query<IEnvironmentMutable>();
    ASSERT_TRUE(mutableFace);
    int32_t revision = 0;
    EXPECT_EQ(mutableFace->revision(&revision), 0);
    EXPECT_EQ(revision, -1);

    std::mt19937 random(10);
    const Frame frame = frameOf(nominalLayout(), cameraAt(1.1, 1.7, 0.4, 0.5), 0, random);
    auto in = Kestrel::InterfaceContract::inArray(frame.rays);
    Kestrel::InterfaceContract::Boolean changed = Kestrel::InterfaceContract::BooleanTrue;
    EXPECT_EQ(mutableFace->update(&in, float(xi), &frame.up, &changed), 0);
    EXPECT_FALSE(changed);
    EXPECT_NE(mutableFace->update(&in, float(xi), nullptr, &changed), 0);
    EXPECT_NE(mutableFace->update(&in, float(xi), &frame.up, nullptr), 0);
    EXPECT_EQ(static_cast<OrbEnvironmentQuadrangle*>(nativeEnvironment(environment.get()))->seenCorners(), 1);
}

TEST_F(Quadrangle, UpdatesAndMatchingOnTwoThreads) {
    std::mt19937 random(12);
    const Layout layout = disturbedLayout(random);
    OrbEnvironmentQuadrangle environment(1.5f, 0.3f);
    std::vector<Frame> frames;
    for (int i = 0; i < 300; ++i)
        frames.push_back(frameOf(layout, pathPose(i * 0.02, {0, 1, 2, 3}), 0, random));
    std::atomic<bool> done{false};
    std::thread reader([&] {
        std::size_t i = 0;
        while (!done) {
            const Frame& frame = frames[i++ % frames.size()];
            std::vector<Vec3f> levelled;
            for (const Vec3f& d : directionsOf(frame))
                levelled.push_back(levellingRotation(frame.up).rotate(d));
            std::vector<MarkerIndex> indices;
            Pose pose{};
            environment.matchRays(levelled, indices, pose);
            EXPECT_EQ(environment.markerPositions().size(), 12u);
            auto in = Kestrel::InterfaceContract::inArray(levelled);
            std::vector<MarkerIndex> near;
            auto out = Kestrel::InterfaceContract::outArray(near);
            const Vec3f origin{{0, 1.7f, 0}};
            EXPECT_EQ(static_cast<IEnvironment&>(environment).matchNearPosition(&in, &origin, &out), 0);
        }
    });
    for (const Frame& frame : frames) {
        fakeNow += frameMicroseconds;
        environment.update(frame.rays, float(xi), frame.up);
    }
    done = true;
    reader.join();
    EXPECT_GE(environment.revision(), 0);
}
