#include <gtest/gtest.h>

#include <cstring>

#include "FakeNetwork.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"
#include "tracking/runtime/device_tasks/MidSpaceCotask.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::Orb::Tracking;
namespace TrackingTask = Kestrel::DeviceNetwork::Tasks::Orb::Tracking;
using FakeNetworkTest::FakeNetwork;

namespace {

// Expected re-projections from an independent double-precision script of the formulas (the
// ray lifted with z = (sqrt(xi^2 (w^2 - 1) + 1) + xi w) w - xi and lateral sqrt(1 - z^2)).
struct Reprojection {
    float x, y, xi, expectedX, expectedY;
};
const Reprojection reprojections[] = {
    {0.3f, -0.2f, 0.75f, 0.299294439f, -0.199529626f},
    {0.9f, 0.1f, 0.75f, 0.898826712f, 0.099869635f},
    {1.5f, 0.4f, 0.75f, 1.499144825f, 0.399771953f},  // behind the camera: b / e = -0.7646
    {0.3f, -0.2f, 0.0f, 0.299558862f, -0.199705908f},
    {0.05f, 0.02f, 0.0f, 0.049988231f, 0.019995292f},
    {0.25f, 0.0f, 0.0f, 0.249735312f, 0.0f},
};

struct MidSpace {
    int64_t now = 0;
    MidSpaceCotask* task;
    Ref<Kestrel::DeviceNetwork::ICotask> viewer;

    explicit MidSpace(const GeometrySettings& settings = GeometrySettings{}) {
        task = new MidSpaceCotask(settings, fallbackMaximumViewAngle, [this] { return now; });
        viewer = Ref<Kestrel::DeviceNetwork::ICotask>::share(task);
    }
    ResultCode frame() { return task->beginFrame(); }
    void point(float x, float y) {
        TrackingTask::OpticalPoint p{100, x, y};
        ASSERT_EQ(0u, task->pointReceived(&p));
    }
    void gyro(int16_t x, int16_t y, int16_t z) {
        TrackingTask::InertialSample s{x, y, z};
        ASSERT_EQ(0u, task->gyroscopeReceived(&s));
    }
    void accel(int16_t x, int16_t y, int16_t z, int times = 1) {
        TrackingTask::InertialSample s{x, y, z};
        for (int i = 0; i < times; ++i)
            ASSERT_EQ(0u, task->accelerometerReceived2g(&s));
    }
};

// A gyroscope calibration of 360 degrees per full-scale unit: the raw axis 16384 turns the
// tracker by exactly 180 degrees in one sample.
GeometrySettings halfTurnGyroscope() {
    GeometrySettings g;
    for (int i : {0, 5, 10})
        g.gyroscope.pairs[i][0] = 360.0f;
    return g;
}

} // namespace

TEST(MidSpace, ReprojectionToTheTrackerCentre) {
    for (const Reprojection& r : reprojections) {
        auto p = MidSpaceCotask::reprojectToTrackerCentre(r.x, r.y, r.xi);
        EXPECT_NEAR(r.expectedX, p.x(), 2e-6f) << r.x << ", " << r.y << ", xi " << r.xi;
        EXPECT_NEAR(r.expectedY, p.y(), 2e-6f) << r.x << ", " << r.y << ", xi " << r.xi;
    }
    auto axis = MidSpaceCotask::reprojectToTrackerCentre(0.0f, 0.0f, 0.75f);
    EXPECT_EQ(0.0f, axis.x());
    EXPECT_EQ(0.0f, axis.y());
}

TEST(MidSpace, OnlySingleBlobFramesEnterThePointAccumulator) {
    FakeNetwork* network = new FakeNetwork;
    Ref<Kestrel::DeviceNetwork::INodeNetwork> networkRef = Ref<Kestrel::DeviceNetwork::INodeNetwork>::share(network);
    MidSpace m;
    ASSERT_TRUE(startTrackingTask(*network, 7, *m.task));
    ASSERT_EQ(0u, m.frame());
    m.point(420.5f, 240.5f);  // frame 1: one blob, normalized (0.25, 0)
    ASSERT_EQ(0u, m.frame());
    m.point(420.5f, 240.5f);  // frame 2: two blobs
    m.point(320.5f, 140.5f);
    ASSERT_EQ(0u, m.frame());  // frame 3: none
    ASSERT_EQ(0u, m.frame());
    m.point(320.5f, 140.5f);  // frame 4: one blob, normalized (0, 0.25)
    ASSERT_EQ(0u, m.frame());
    EXPECT_EQ(1u, m.task->previousFrame().size());
    ASSERT_EQ(0u, m.frame());  // frame 4 enters the accumulator once it is the previous frame
    EXPECT_TRUE(m.task->previousFrame().empty());
    const double r = 0.2497353120206537;
    m.task->withAccumulators([&](const MidSpaceCotask::Accumulators& a) {
        EXPECT_EQ(2u, a.points.primary().count());
        EXPECT_NEAR(r, a.points.primary().sums().x(), 1e-6);
        EXPECT_NEAR(r, a.points.primary().sums().y(), 1e-6);
        EXPECT_NEAR(2 * r * r, a.points.primary().sumsOfSquares().x() + a.points.primary().sumsOfSquares().y(), 1e-6);
        return 0;
    });
    // Exposure 100 on every one of the six frames.
    auto sent = network->device->packets();
    ASSERT_EQ(6u, sent.size());
    for (const auto& p : sent) {
        EXPECT_EQ(9, p.id);
        EXPECT_EQ(std::string("\x64\0\0\0", 4), p.payload);
    }
}

TEST(MidSpace, WithoutALinkEveryFrameFailsButStillAccumulates) {
    MidSpace m;
    ASSERT_EQ(E_FAIL_CODE, m.frame());
    EXPECT_EQ("Task is finished", lastErrorMessage());
    m.point(420.5f, 240.5f);
    EXPECT_EQ(E_FAIL_CODE, m.frame());
    EXPECT_EQ(1u, m.task->previousFrame().size());
}

TEST(MidSpace, GyroscopeSamplesFillTheGyroscopeWindows) {
    MidSpace m;
    m.gyro(16384, -8192, 0);
    m.gyro(16384, 0, 4096);
    m.task->withAccumulators([](const MidSpaceCotask::Accumulators& a) {
        EXPECT_EQ(2u, a.gyroscope.primary().count());
        EXPECT_EQ((KestrelMath::vector3<float>{{1.0f, -0.25f, 0.125f}}), a.gyroscope.primary().sums());
        return 0;
    });
    for (int i = 0; i < 10003; ++i)
        m.gyro(16384, 0, 0);
    m.task->withAccumulators([](const MidSpaceCotask::Accumulators& a) {
        EXPECT_EQ(10000u, a.gyroscope.primary().count());
        EXPECT_EQ(5000.0f, a.gyroscope.primary().sums().x());  // only the last 10000 samples
        EXPECT_EQ(0.0f, a.gyroscope.primary().sums().z());
        return 0;
    });
}

// Accelerometer (0.5, 0, 0.5) g has its up direction in the (+x, +z) quadrant, (-0.5, 0, -0.5) in
// (-x, -z). A half turn about y between them keeps the stabilised frame's mean consistent, so
// the collector's up direction follows the current sample at once.
TEST(MidSpace, TheUpDirectionCountsFromThe4001stSampleOn) {
    MidSpace m(halfTurnGyroscope());
    m.accel(8192, 0, 8192, 4000);  // armed if these were used
    m.gyro(0, 16384, 0);
    m.accel(-8192, 0, -8192, 10);
    EXPECT_EQ(-1, m.task->passes());
    EXPECT_LT(m.task->up().x(), 0.0);

    MidSpace n(halfTurnGyroscope());
    n.accel(-8192, 0, -8192, 4000);
    n.gyro(0, 16384, 0);
    n.accel(8192, 0, 8192);  // sample 4001 arms
    n.gyro(0, 16384, 0);
    n.accel(-8192, 0, -8192);
    EXPECT_EQ(0, n.task->passes());
}

TEST(MidSpace, TheFirstPassStartsTheClockAndLaterPassesSetTheRate) {
    MidSpace m(halfTurnGyroscope());
    auto pass = [&](int64_t at) {
        m.gyro(0, 16384, 0);
        m.accel(8192, 0, 8192, 3);  // armed
        m.now = at;
        m.gyro(0, 16384, 0);
        m.accel(-8192, 0, -8192, 3);  // passed
    };
    m.accel(-8192, 0, -8192, 4001);
    EXPECT_EQ(-1, m.task->passes());
    pass(1'000'000'000);
    EXPECT_EQ(0, m.task->passes());
    EXPECT_EQ(0.0, m.task->turnRate());
    pass(3'500'000'000);
    EXPECT_EQ(1, m.task->passes());
    EXPECT_DOUBLE_EQ(144.0, m.task->turnRate());  // 1 * 360 / 2.5 s
    pass(4'750'000'000);
    EXPECT_EQ(2, m.task->passes());
    EXPECT_DOUBLE_EQ(192.0, m.task->turnRate());  // 2 * 360 / 3.75 s
    // Staying in the (-x, -z) quadrant without re-arming counts nothing.
    m.accel(-8192, 0, -8192, 50);
    EXPECT_EQ(2, m.task->passes());
}
