// The optimiser's per-batch steps against a fake environment: orientation and pose matching,
// the tie rule, lostCount, and the re-initialisation from an orientation match.
#include <limits>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "LogCapture.h"
#include "tracking/runtime/optimizer/OptimizerContext.h"
#include "tracking/runtime/optimizer/PoseResidual.h"

using namespace TrackingTest;

namespace {

Quatf levellingOf(const Vec3f& up) { return Quatf{-up[2], 0.0f, up[0], 1.0f + up[1]}.normalized(); }

struct Harness {
    SyntheticScene scene;
    Ref<IEnvironment> environmentRef;
    FakeEnvironment* environment;
    std::shared_ptr<SharedTrackingState> shared = std::make_shared<SharedTrackingState>();
    float xi;
    std::unique_ptr<OptimizerContext> context;
    double time = 0;  // of the next frame
    Vec3f orientationOffset{{0, 0, 0}};

    Harness() : xi(float(scene.xi)) {
        environmentRef = makeInterfaced<FakeEnvironment, IEnvironment>(scene.markers);
        environment = static_cast<FakeEnvironment*>(environmentRef.get());
        // The orientation matching finds the true pose of the frame being processed.
        environment->orientationMatch = [this](const std::vector<Vec3f>& levelled, std::vector<MarkerIndex>& indices,
                                               Pose& pose) {
            const double t = currentFrameTime;
            const Eigen::Quaterniond truth = scene.rotation(t);
            const Eigen::Quaterniond level = toEigen(levellingOf(f3(truth.conjugate() * Eigen::Vector3d::UnitY())));
            const Eigen::Quaterniond world = truth * level.conjugate();
            std::vector<Vec3f> rays;
            for (const Vec3f& r : levelled)
                rays.push_back(f3(world * d3(r)));
            indices = environment->nearest(rays, scene.camera(t));
            pose.position = f3(scene.position(t)) + orientationOffset;
            pose.rotation = fromEigen(world);
            return true;
        };
        context = std::make_unique<OptimizerContext>(environmentRef, shared, xi);
        context->prepare();
    }

    double currentFrameTime = 0;
    BatchResult batch(int frames = 1, bool spurious = false, bool empty = false) {
        std::vector<FrameRecord> records;
        for (int k = 0; k < frames; ++k) {
            records.push_back(scene.frame(time, false));
            if (empty)
                records.back().frame.rays.clear();
            if (spurious) {
                // A blob far from every marker.
                const Eigen::Vector3d d = (scene.rotation(time).conjugate() *
                                           (Eigen::Vector3d(0.2, 0, 0.25) - scene.camera(time)))
                                              .normalized();
                Ray ray = records.back().frame.rays.front();
                ray.direction = f3(d);
                records.back().frame.rays.push_back(ray);
            }
            time += scene.frameTime;
        }
        // One frame per batch, so that the fake knows the time of the frame it matches.
        currentFrameTime = time - frames * scene.frameTime;
        BatchResult result;
        for (auto& record : records) {
            std::vector<FrameRecord> one{std::move(record)};
            result = context->processBatch(one);
            currentFrameTime += scene.frameTime;
        }
        return result;
    }

    double positionError() const {
        // The state is carried to the end of the newest frame, the start of the next.
        return (d3(context->state().position) - scene.position(time)).norm();
    }
};

} // namespace

TEST(OptimizerContext, ReachesSixDofFromOrientationMatches) {
    Harness h;
    EXPECT_EQ(h.context->markers().size(), h.scene.markers.size());
    int firstOk = -1;
    for (int k = 0; k < 40 && firstOk < 0; ++k)
        if (h.batch().ok)
            firstOk = k;
    ASSERT_GE(firstOk, 8);  // velocity needs some history first
    EXPECT_LE(firstOk, 31);
    EXPECT_TRUE(h.context->sixDof());
    EXPECT_LT(h.positionError(), 1e-3);
    // In 6DoF the pose-based matching takes over; the orientation matching is only retried.
    const int orientationCalls = h.environment->matchRaysCalls;
    for (int k = 0; k < 10; ++k)
        EXPECT_TRUE(h.batch().ok);
    EXPECT_EQ(h.environment->matchRaysCalls, orientationCalls);
    EXPECT_LT(h.positionError(), 5e-4);
    // The pose-made labels agree with the blobs' orientation-made ones, whose flag is ORed in
    // along the tracks.
    for (const Ray& ray : h.context->history().fromNewest(0).frame.rays) {
        EXPECT_GE(ray.markerIndex, 0);
        EXPECT_EQ(ray.matchedByOrientation, 1);
    }
}

// Blobs seen first in 6DoF carry no orientation flag.
void forgetOrientationFlags(Harness& h) {
    for (Ray& ray : h.context->history().fromNewest(0).frame.rays)
        ray.matchedByOrientation = 0;
}

TEST(OptimizerContext, FourBatchesWithoutAMatchStopOptimisationUntilOneReturns) {
    Harness h;
    while (!h.batch().ok)
        ASSERT_LT(h.time, 0.5);
    // The markers leave the view: frames without rays.
    for (int k = 1; k <= 3; ++k) {
        const BatchResult result = h.batch(1, false, true);
        EXPECT_EQ(h.context->lostCount(), k);
        EXPECT_TRUE(result.ok) << "older frames still hold the pose at lostCount " << k;
    }
    EXPECT_FALSE(h.batch(1, false, true).ok);
    EXPECT_EQ(h.context->lostCount(), 4);
    EXPECT_FALSE(h.context->sixDof());
    EXPECT_FALSE(h.batch(1, false, true).ok);
    EXPECT_EQ(h.context->lostCount(), 5);
    // Back in view: matched again (by orientation, since 6DoF was lost) and optimised.
    const int before = h.environment->matchRaysCalls;
    EXPECT_TRUE(h.batch().ok);
    EXPECT_EQ(h.context->lostCount(), 0);
    EXPECT_EQ(h.environment->matchRaysCalls, before + 1);
}

TEST(OptimizerContext, PoseMatchWinsATieWithARetriedOrientationMatch) {
    Harness h;
    while (!h.batch().ok)
        ASSERT_LT(h.time, 0.5);
    // A spurious blob leaves an unmatched ray, so the next frame retries the orientation match;
    // the orientation match would also move the state by 5 cm if it won.
    h.batch(1, true);
    forgetOrientationFlags(h);
    h.orientationOffset = {{0.05f, 0, 0}};
    const int before = h.environment->matchRaysCalls;
    EXPECT_TRUE(h.batch(1, true).ok);
    EXPECT_EQ(h.environment->matchRaysCalls, before + 1);
    EXPECT_TRUE(h.context->sixDof());
    EXPECT_LT(h.positionError(), 1e-3);
    for (const Ray& ray : h.context->history().fromNewest(0).frame.rays)
        EXPECT_EQ(ray.matchedByOrientation, 0);
}

TEST(OptimizerContext, OrientationMatchWithMoreMarkersReinitialisesTheState) {
    Harness h;
    while (!h.batch().ok)
        ASSERT_LT(h.time, 0.5);
    h.batch(1, true);
    forgetOrientationFlags(h);
    h.orientationOffset = {{0.05f, 0, 0}};
    // The pose-based matching loses one marker.
    h.environment->poseMatch = [&](const std::vector<Vec3f>& rays, const Vec3f& origin) {
        std::vector<MarkerIndex> indices = h.environment->nearest(rays, d3(origin));
        indices[0] = -2;
        return indices;
    };
    // The batch re-initialises the state 5 cm off and optimises it back in the same batch:
    // the delta the Optimization hook sees shows the jump.
    std::vector<float> delta;
    std::thread requester([&] {
        h.context->optimizationHook.request([&](const OptimizerState&, const StateDelta& d, const History&) { delta = d; });
    });
    while (!h.context->optimizationHook.isRequested())
        std::this_thread::yield();
    h.batch(1, true);
    requester.join();
    ASSERT_EQ(delta.size(), 12u);
    EXPECT_NEAR(delta[0], -0.05, 0.01);
    const auto& rays = h.context->history().fromNewest(0).frame.rays;
    EXPECT_EQ(rays[0].matchedByOrientation, 1);
    EXPECT_GE(rays[0].markerIndex, 0);
    EXPECT_EQ(rays.back().markerIndex, -2);  // the spurious blob
}

TEST(OptimizerContext, HistoryAndOptimizationHooksServeOneRunEach) {
    Harness h;
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        while (!stop)
            h.batch();
    });
    int historyFrames = 0;
    float threshold = 0;
    EXPECT_TRUE(h.context->historyHook.request([&](const History& history, const std::vector<HistoryMarker>& entries, float t) {
        historyFrames = history.count();
        threshold = t;
        EXPECT_EQ(entries.size(), history.fromNewest(0).frame.rays.size());
    }));
    std::vector<float> delta;
    EXPECT_TRUE(h.context->optimizationHook.request(
        [&](const OptimizerState&, const StateDelta& d, const History&) { delta = d; }));
    stop = true;
    producer.join();
    EXPECT_GT(historyFrames, 0);
    EXPECT_FLOAT_EQ(threshold, 0.01f);
    EXPECT_EQ(delta.size(), 12u);
    // Never served: a request times out.
    EXPECT_FALSE(h.context->visualPositionHook.request([](const OpticFrame&, const Vec3f&, const Quatf&) {},
                                                      std::chrono::milliseconds(20)));
}

// On the optimisation thread itself: a failing environment is logged and costs its batch; the
// thread goes on with the next one and still ends on the stop frame.
TEST(OptimizerContext, AnEnvironmentErrorOnTheThreadCostsOneBatch) {
    LogCapture log;
    Harness h;
    const auto match = h.environment->orientationMatch;
    h.environment->orientationMatch = [](const std::vector<Vec3f>&, std::vector<MarkerIndex>&, Pose&) -> bool {
        throw std::runtime_error("layout broken");
    };
    std::thread thread([&] { h.context->run(); });
    // One frame per batch; the optimiser is idle (waiting under the shared mutex) in between,
    // so the fake's fields may be changed there.
    auto process = [&] {
        h.currentFrameTime = h.time;
        h.shared->push(h.scene.frame(h.time, false));
        h.time += h.scene.frameTime;
        return h.shared->waitUntilOptimizerIdle(10.0);
    };
    ASSERT_TRUE(process());
    EXPECT_EQ(std::vector<std::string>{"Tracking optimization: layout broken"}, log.lines());
    EXPECT_EQ(h.environment->matchRaysCalls, 1);
    h.environment->orientationMatch = match;
    bool sixDof = false;
    for (int k = 0; k < 40 && !sixDof; ++k) {
        ASSERT_TRUE(process());
        sixDof = h.context->sixDof();
    }
    EXPECT_TRUE(sixDof);
    FrameRecord stop;
    stop.leap.duration = std::numeric_limits<float>::quiet_NaN();
    h.shared->push(std::move(stop));
    thread.join();
    EXPECT_EQ(1u, log.lines().size());
}
