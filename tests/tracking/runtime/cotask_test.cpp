#include <gtest/gtest.h>

#include <cmath>

#include "FakeNetwork.h"
#include "LogCapture.h"
#include "TestCotask.h"
#include "interface_contract/Varint.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::Orb::Tracking;
using FakeNetworkTest::FakeNetwork;
namespace TrackingTask = Kestrel::DeviceNetwork::Tasks::Orb::Tracking;

namespace {

GeometrySettings plainSettings() {
    GeometrySettings g;
    g.cx = 320.5f;
    g.cy = 240.5f;
    g.f = 400.0f;
    return g;
}

std::string angleBytes(float angle) {
    std::string out;
    Kestrel::Codec::appendFloat(out, angle);
    return out;
}

struct Network {
    FakeNetwork* fake = new FakeNetwork;
    Ref<Kestrel::DeviceNetwork::INodeNetwork> ref = Ref<Kestrel::DeviceNetwork::INodeNetwork>::share(fake);
    Network(const GeometrySettings& g, const char* angle = nullptr) {
        fake->properties["sys/GeometrySettings.b"] = serializeGeometrySettings(g);
        if (angle)
            fake->properties["sys/MaximumViewAngle.b"] = angle;
    }
};


std::string constructionError(Network& network) {
    try {
        Ref<Kestrel::DeviceNetwork::ICotask>::share(new TestCotask(network.ref, 3));
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(constructed)";
}

// Owns a TestCotask through its viewer face.
struct Task {
    TestCotask* task;
    Ref<Kestrel::DeviceNetwork::ICotask> viewer;
    Ref<TrackingTask::IDeviceToHost> device;
    explicit Task(TestCotask* t)
        : task(t), viewer(Ref<Kestrel::DeviceNetwork::ICotask>::share(t)), device(t->deviceToHost()) {}
};

} // namespace

TEST(TrackingCotask, GyroscopeUsesTheCalibrationAtTheCurrentTemperature) {
    GeometrySettings g = plainSettings();
    // Rows (m0, m1, m2, bias): diag(2 + 0.1 T, 1, 1) with bias (0.25, 0, 0.01 T).
    g.gyroscope.pairs[0] = {2.0f, 0.1f};
    g.gyroscope.pairs[3] = {0.25f, 0.0f};
    g.gyroscope.pairs[11] = {0.0f, 0.01f};
    Network network(g);
    Task t(new TestCotask(network.ref, 1));
    TrackingTask::InertialSample raw{16384, -16384, 0};
    ASSERT_EQ(0u, t.device->gyroscopeReceived(&raw));
    // At 35: M00 = 5.5, bias (0.25, 0, 0.35): (5.5 * 0.25, -0.5, -0.35).
    ASSERT_EQ(1u, t.task->rotations.size());
    EXPECT_FLOAT_EQ(1.375f, t.task->rotations[0][0]);
    EXPECT_FLOAT_EQ(-0.5f, t.task->rotations[0][1]);
    EXPECT_FLOAT_EQ(-0.35f, t.task->rotations[0][2]);
    ASSERT_EQ(0u, t.device->temperatureReceived(45.0f));
    ASSERT_EQ(0u, t.device->gyroscopeReceived(&raw));
    // At 45: M00 = 6.5, bias z 0.45.
    EXPECT_FLOAT_EQ(1.625f, t.task->rotations[1][0]);
    EXPECT_FLOAT_EQ(-0.45f, t.task->rotations[1][2]);
}

TEST(TrackingCotask, AccelerometerRangesScaleTheRawValue) {
    GeometrySettings g = plainSettings();
    g.accelerometer.pairs[7] = {0.5f, 0.0f};  // bias y
    Network network(g);
    Task t(new TestCotask(network.ref, 1));
    TrackingTask::InertialSample raw{16384, 16384, -32768};
    ASSERT_EQ(0u, t.device->accelerometerReceived2g(&raw));
    ASSERT_EQ(0u, t.device->accelerometerReceived4g(&raw));
    ASSERT_EQ(0u, t.device->accelerometerReceived8g(&raw));
    ASSERT_EQ(0u, t.device->accelerometerReceived16g(&raw));
    ASSERT_EQ(4u, t.task->accelerations.size());
    const float expected[4][3] = {{1, 0.5f, -2}, {2, 1.5f, -4}, {4, 3.5f, -8}, {8, 7.5f, -16}};
    for (int i = 0; i < 4; ++i)
        for (int a = 0; a < 3; ++a)
            EXPECT_FLOAT_EQ(expected[i][a], t.task->accelerations[i][a]) << i << " " << a;
}

TEST(TrackingCotask, GyroscopeOverflowCallsTheHookAndStillDelivers) {
    Network network(plainSettings());
    Task t(new TestCotask(network.ref, 1));
    LogCapture log;
    TrackingTask::InertialSample normal{32766, -32767, 0}, low{0, -32768, 0}, high{0, 0, 32767};
    ASSERT_EQ(0u, t.device->gyroscopeReceived(&normal));
    EXPECT_EQ(0, t.task->overflows.load());
    ASSERT_EQ(0u, t.device->gyroscopeReceived(&low));
    ASSERT_EQ(0u, t.device->gyroscopeReceived(&high));
    EXPECT_EQ(2, t.task->overflows.load());
    EXPECT_EQ((std::vector<std::string>{"gyroscope overflow", "gyroscope overflow"}), log.lines());
    ASSERT_EQ(3u, t.task->rotations.size());
    EXPECT_FLOAT_EQ(-1.0f, t.task->rotations[1][1]);
}

TEST(TrackingCotask, DataBeforeTheCalibrationAreDroppedAfterTheAssertionLine) {
    LogCapture log;
    Task t(new TestCotask);
    TrackingTask::InertialSample raw{1, 2, 3};
    TrackingTask::OpticalPoint point{4, 320.0f, 240.0f};
    EXPECT_EQ(0u, t.device->gyroscopeReceived(&raw));
    EXPECT_EQ(0u, t.device->accelerometerReceived2g(&raw));
    EXPECT_EQ(0u, t.device->pointReceived(&point));
    EXPECT_EQ(0u, t.device->beginFrame());
    EXPECT_TRUE(t.task->rotations.empty());
    EXPECT_TRUE(t.task->accelerations.empty());
    EXPECT_TRUE(t.task->rays.empty());
    EXPECT_EQ(0, t.task->frames.load());
    EXPECT_EQ((std::vector<std::string>{"Assert: geometrySettingsReady", ""}), log.lines());
    t.task->calibrateNow(plainSettings(), 2.0f);
    EXPECT_EQ(0u, t.device->gyroscopeReceived(&raw));
    EXPECT_EQ(1u, t.task->rotations.size());
}

TEST(TrackingCotask, PointsAreUndistortedAndRowsOutsideTheSensorDropped) {
    Network network(plainSettings());
    Task t(new TestCotask(network.ref, 1));
    TrackingTask::OpticalPoint centre{124, 320.5f, 240.5f}, right{8, 520.5f, 240.5f}, top{1, 320.5f, 4.9f},
        bottom{1, 320.5f, 475.0f};
    for (auto* p : {&centre, &right, &top, &bottom})
        ASSERT_EQ(0u, t.device->pointReceived(p));
    ASSERT_EQ(2u, t.task->rays.size());
    EXPECT_EQ(0.0f, t.task->rays[0].x);
    EXPECT_EQ(124, t.task->rays[0].value);
    EXPECT_FLOAT_EQ(0.5f, t.task->rays[1].x);
    EXPECT_EQ(8, t.task->rays[1].value);
    ASSERT_EQ(0u, t.device->beginFrame());
    EXPECT_EQ(1, t.task->frames.load());
}

TEST(TrackingCotask, PointThatCannotBeLocatedFailsTheCall) {
    Network network(plainSettings());
    Task t(new TestCotask(network.ref, 1));
    TrackingTask::OpticalPoint bad{1, NAN, 240.0f};
    ResultCode code = t.device->pointReceived(&bad);
    EXPECT_EQ(E_FAIL_CODE, code);
    EXPECT_EQ("!valueFromSensor", lastErrorMessage());
}

TEST(TrackingCotask, MaximumViewAngleAndItsFallBack) {
    GeometrySettings g = plainSettings();
    g.xi = 0.5f;
    const float fallback = maximumRadiusSquared(2.0943952f, 0.5f);
    {
        LogCapture log;
        Network missing(g);
        Task t(new TestCotask(missing.ref, 1));
        EXPECT_FLOAT_EQ(fallback, t.task->maximumRadiusSquared());
        ASSERT_EQ(1u, log.lines().size());
        EXPECT_EQ("MaximumViewAngle: property not read: no such property", log.lines()[0]);
    }
    {
        std::string pi = angleBytes(3.1415927f);
        Network exact(g, pi.c_str());
        exact.fake->properties["sys/MaximumViewAngle.b"] = pi;
        Task t(new TestCotask(exact.ref, 1));
        EXPECT_FLOAT_EQ(maximumRadiusSquared(3.1415927f, 0.5f), t.task->maximumRadiusSquared());
    }
    struct Bad {
        std::string bytes, line;
    };
    for (const Bad& bad : {Bad{angleBytes(-0.5f), "MaximumViewAngle: Angle too small"},
                           Bad{angleBytes(3.2f), "MaximumViewAngle: Angle too big"},
                           Bad{angleBytes(1.0f) + "!", "MaximumViewAngle: Invalid format"}}) {
        LogCapture log;
        Network network(g);
        network.fake->properties["sys/MaximumViewAngle.b"] = bad.bytes;
        Task t(new TestCotask(network.ref, 1));
        EXPECT_FLOAT_EQ(fallback, t.task->maximumRadiusSquared()) << bad.line;
        EXPECT_EQ(std::vector<std::string>{bad.line}, log.lines());
    }
    Network good(g);
    good.fake->properties["sys/MaximumViewAngle.b"] = angleBytes(1.5f);
    Task t(new TestCotask(good.ref, 1));
    EXPECT_FLOAT_EQ(maximumRadiusSquared(1.5f, 0.5f), t.task->maximumRadiusSquared());
}

TEST(TrackingCotask, UnreadableCalibrationFailsTheConstruction) {
    GeometrySettings g = plainSettings();
    Network wrongVersion(g);
    wrongVersion.fake->properties["sys/GeometrySettings.b"][0] = 3;
    EXPECT_EQ("need VersionConverter implementation", constructionError(wrongVersion));
    Network shortRecord(g);
    shortRecord.fake->properties["sys/GeometrySettings.b"].resize(100);
    EXPECT_EQ("GeometrySettings: record of 100 bytes is too short, needs 3537", constructionError(shortRecord));
    Network missing(g);
    missing.fake->properties.clear();
    EXPECT_EQ("no such property", constructionError(missing));
    EXPECT_EQ(0, TestCotask::alive.load());
}
