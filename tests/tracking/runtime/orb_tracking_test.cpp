// OrbTracking driven through its cotask operations: initialisation, averaging limits, exposure
// requests, state queries and the stop, including a release on the optimisation thread.
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "LogCapture.h"
#include "tracking/environments/PlacementCode.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace TrackingTest;
using Kestrel::Orb::Tracking::GeometrySettings;
using Kestrel::Orb::Tracking::ITrackingCotask;
using Kestrel::Orb::Tracking::OrbTracking;
using Kestrel::Orb::Tracking::Placement;
using Kestrel::Orb::Tracking::State;
namespace TrackingTask = Kestrel::DeviceNetwork::Tasks::Orb::Tracking;

namespace {

class TestTracking final : public OrbTracking {
public:
    using OrbTracking::OrbTracking;
    using OrbTracking::onAccelerometer;
    using OrbTracking::onFrame;
    using OrbTracking::onGyroscope;
    using OrbTracking::onRay;
    static inline std::atomic<int> destroyed{0};
    ~TestTracking() override { ++destroyed; }
};

class RecordingLink final : public Implements<TrackingTask::IHostToDevice> {
public:
    std::vector<int32_t> exposures;
    ResultCode KESTREL_CALL setExposure(const int32_t* exposure) override {
        return guard([&] { exposures.push_back(*exposure); });
    }
    ResultCode KESTREL_CALL sendPacket10(const uint8_t*) override { return 0; }
    ResultCode KESTREL_CALL sendPacket13(const uint8_t*) override { return 0; }
};

struct Fixture {
    Ref<IEnvironment> environment;
    Ref<ITrackingCotask> cotask;
    TestTracking* tracking = nullptr;

    explicit Fixture(bool withEnvironment = true) {
        SyntheticScene scene;
        if (withEnvironment)
            environment = makeInterfaced<FakeEnvironment, IEnvironment>(scene.markers);
        GeometrySettings settings;
        settings.xi = 0.8f;
        cotask = makeInterfaced<TestTracking, ITrackingCotask>(settings, 2.0943952f, environment);
        tracking = static_cast<TestTracking*>(cotask.get());
    }

    // One frame boundary after `samples` accelerometer samples of 1 g along the tracker's -z
    // (camera looking down).
    void frame(int samples = 10) {
        for (int k = 0; k < samples; ++k)
            tracking->onAccelerometer({{0, 0, -1}});
        tracking->onFrame();
    }
    State state(float averaging = 0) {
        State s{};
        check(cotask.get(), cotask->readState(averaging, &s));
        return s;
    }
};

} // namespace

TEST(OrbTracking, StaysInStageZeroUntilFiveHundredSamples) {
    LogCapture log;
    Fixture f;
    for (int k = 0; k < 49; ++k)
        f.frame();
    f.frame(9);  // 499 samples
    EXPECT_EQ(f.state().stabilityStage, 0);
    f.frame(1);  // 500
    const State s = f.state();
    EXPECT_EQ(s.stabilityStage, 1);
    EXPECT_EQ(s.stabilityValue, 0.0f);
    EXPECT_FLOAT_EQ(s.position[1], 1.68f);
    EXPECT_EQ(s.position[0], 0.0f);
    EXPECT_EQ(s.velocity[0], 0.0f);
    EXPECT_EQ(s.velocity[1], 0.0f);
    // The accelerometer feels +1 g along the tracker's -z: that measured up is turned onto +y.
    const KestrelMath::vector<float, 3> up = s.rotation.rotate({{0, 0, -1}});
    EXPECT_NEAR(up[1], 1.0f, 1e-3f);
    f.frame();
    int lines = 0;
    for (const std::string& line : log.lines())
        lines += line == "initializeInitialState";
    EXPECT_EQ(lines, 1);
}

TEST(OrbTracking, RaysOfAFrameReachTheOpticsHookFiltered) {
    Fixture f;
    f.tracking->onRay(0.1f, 0.1f, 512);  // before any frame: dropped
    for (int k = 0; k < 50; ++k)
        f.frame();
    // The camera looks down (+z of the tracker, up is -z): rays near the axis go down and are
    // accepted. With xi 0.8 the 120-degree view ends at radius^2 0.893; at radius 0.92 the ray
    // already points above the horizon (z = -0.41) and acceptRay refuses it.
    f.tracking->onRay(0.1f, -0.2f, 512);
    f.tracking->onRay(0.0f, 0.0f, 64);
    f.tracking->onRay(0.92f, 0.0f, 64);
    f.tracking->onRay(1.2f, 0.0f, 64);  // beyond the view
    std::vector<Kestrel::Orb::Tracking::Ray> rays;
    std::thread boundary([&] {
        while (!f.tracking->opticsHook.isRequested())
            std::this_thread::yield();
        f.frame();
    });
    EXPECT_TRUE(f.tracking->opticsHook.request([&](const OpticFrame& frame) { rays = frame.rays; }));
    boundary.join();
    ASSERT_EQ(rays.size(), 2u);
    EXPECT_FLOAT_EQ(rays[0].value, 2.0f);  // 512 / 256
    EXPECT_EQ(rays[0].markerIndex, -1);
    EXPECT_EQ(rays[0].previousLink, -1);
    EXPECT_EQ(rays[0].matchedByOrientation, 0);
    EXPECT_FLOAT_EQ(rays[0].point[1], -0.2f);
    const KestrelMath::vector<float, 3> d = rays[1].direction;
    EXPECT_NEAR(d[2], 1.0f, 1e-6f);
    // The stored derivative is -dP/dv at the direction: at the centre, -(1 / (1 + xi)) on the
    // diagonal of the first two columns.
    EXPECT_NEAR(rays[1].projectionDerivative[0], -1.0f / 1.8f, 1e-6f);
    EXPECT_NEAR(rays[1].projectionDerivative[4], -1.0f / 1.8f, 1e-6f);
}

TEST(OrbTracking, WithoutEnvironmentFramesAreIgnored) {
    Fixture f(false);
    for (int k = 0; k < 80; ++k)
        f.frame();
    EXPECT_EQ(f.state().stabilityStage, 0);
}

TEST(OrbTracking, AngularVelocityAveragesOneToOneHundredTwentyEightSamples) {
    Fixture f;
    // Gyroscope samples in degrees per sample interval: sample k turns k * 0.001 degrees about x.
    for (int k = 1; k <= 200; ++k)
        f.tracking->onGyroscope({{float(k) * 0.001f, 0, 0}});
    const double toRadiansPerSecond = 0.017453292 * 2000;
    EXPECT_NEAR(f.state(0).angularVelocity[0], 0.200 * toRadiansPerSecond, 1e-4);
    // 1 s would be 2000 samples: limited to the newest 128, k = 73..200, mean 136.5.
    EXPECT_NEAR(f.state(1.0f).angularVelocity[0], 0.1365 * toRadiansPerSecond, 1e-4);
    // 5 ms: 10 samples, k = 191..200.
    EXPECT_NEAR(f.state(0.005f).angularVelocity[0], 0.1955 * toRadiansPerSecond, 1e-4);
}

TEST(OrbTracking, ExposureIsRetriedUntilALinkTakesIt) {
    LogCapture log;
    Fixture f;
    for (int k = 0; k < 52; ++k)
        f.frame();  // ready at the 50th boundary; boundaries 50, 51, 52 try to send
    int failures = 0;
    for (const std::string& line : log.lines())
        failures += line == "Failed to set exposure";
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(f.tracking->appliedExposure(), 1);

    Ref<TrackingTask::IHostToDevice> link = makeInterfaced<RecordingLink, TrackingTask::IHostToDevice>();
    f.tracking->setLink(link);
    f.frame();
    f.frame();
    auto* recorder = static_cast<RecordingLink*>(link.get());
    ASSERT_EQ(recorder->exposures.size(), 1u);
    EXPECT_EQ(recorder->exposures[0], 10);
    EXPECT_EQ(f.tracking->appliedExposure(), 10);
    f.tracking->requestExposure(25);
    f.frame();
    EXPECT_EQ(recorder->exposures.back(), 25);
}

TEST(OrbTracking, ExtrapolatedStateOfThePlacedPoint) {
    Fixture f;
    for (int k = 0; k < 50; ++k)
        f.frame();
    const State base = f.state(0);
    Placement identity{{{0, 0, 0}}, {0, 0, 0, 1}};
    State same{};
    check(f.cotask.get(), f.cotask->readExtrapolatedState(&identity, 0, &same));
    for (int i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(same.position[i], base.position[i]);
    EXPECT_EQ(same.stabilityStage, base.stabilityStage);

    // A point 10 cm along the tracker's z axis: the reported pose is the tracker pose moved
    // back by that offset turned into the world.
    Placement offset{{{0, 0, 0.1f}}, {0, 0, 0, 1}};
    State placed{};
    check(f.cotask.get(), f.cotask->readExtrapolatedState(&offset, 0, &placed));
    const KestrelMath::vector<float, 3> shift = base.rotation.rotate({{0, 0, 0.1f}});
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(placed.position[i], base.position[i] - shift[i], 1e-6);
    EXPECT_EQ(f.cotask->readExtrapolatedState(nullptr, 0, &placed), Kestrel::InterfaceContract::E_POINTER_CODE);
    EXPECT_NE(f.cotask->readState(0, nullptr), 0);
}

TEST(OrbTracking, DecodedPlacementCodeGoesStraightToTheTask) {
    // The stored placement code and the task's placement are one type: a decoded code is
    // handed over as it is. The code holds version 0, position (0, 0, 0.1), angles (0, 0, 0).
    Fixture f;
    for (int k = 0; k < 50; ++k)
        f.frame();
    const State base = f.state(0);
    const Placement decoded = Kestrel::Orb::Tracking::decodePlacementCode("AAAAAAAAAAAAzczMPQAAAAAAAAAAAAAAAA==");
    State placed{};
    check(f.cotask.get(), f.cotask->readExtrapolatedState(&decoded, 0, &placed));
    const KestrelMath::vector<float, 3> shift = base.rotation.rotate({{0, 0, 0.1f}});
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(placed.position[i], base.position[i] - shift[i], 1e-6);
}

TEST(OrbTracking, ReleaseWhileTheOptimiserWaitsEndsItAtOnce) {
    const int before = TestTracking::destroyed;
    Fixture f;
    for (int k = 0; k < 60; ++k)
        f.frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the optimiser is waiting now
    const auto start = std::chrono::steady_clock::now();
    f.cotask.reset();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.1);
    EXPECT_EQ(TestTracking::destroyed, before + 1);
}

TEST(OrbTracking, ReleasedOnItsOwnOptimisationThread) {
    const int before = TestTracking::destroyed;
    auto f = std::make_unique<Fixture>();
    for (int k = 0; k < 50; ++k)
        f->frame();
    // The hook's callback runs on the optimisation thread and drops the last reference there.
    // The requester keeps the optimiser context, whose hook it waits on, as a viewer keeps
    // the task it asks.
    Ref<ITrackingCotask> last = std::move(f->cotask);
    TestTracking* tracking = f->tracking;
    std::shared_ptr<OptimizerContext> context = tracking->sharedOptimizer();
    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        while (!context->optimizationHook.isRequested())
            std::this_thread::yield();
        tracking->onFrame();
        fed = true;
    });
    const bool served = context->optimizationHook.request([&](const OptimizerState&, const StateDelta&, const History&) {
        while (!fed)
            std::this_thread::yield();
        last.reset();
    });
    feeder.join();
    EXPECT_TRUE(served);
    EXPECT_EQ(TestTracking::destroyed, before + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the detached thread runs out
}

namespace {

// Counts what an observer of the tracking is told.
struct CountingObserver final : Kestrel::Orb::Tracking::TrackingObserver {
    int described = 0, frames = 0, gyroscopes = 0, overflows = 0, accelerometers = 0, invalid = 0, batches = 0;
    float lastTemperature = 0, xi = 0;
    bool describedFirst = true;
    void cameraDescribed(const Kestrel::Orb::Tracking::CameraView& view) override {
        describedFirst = describedFirst && frames + gyroscopes + accelerometers == 0;
        ++described;
        xi = view.xi;
    }
    void frameBegan(int32_t) override { ++frames; }
    void pointReceived(float, float, int32_t, bool) override {}
    void gyroscopeSample(const KestrelMath::vector3<float>&, bool overflow) override {
        ++gyroscopes;
        overflows += overflow;
    }
    void accelerometerSample() override { ++accelerometers; }
    void temperature(float celsius) override { lastTemperature = celsius; }
    void invalidSequence() override { ++invalid; }
    void batchProcessed(const Kestrel::Orb::Tracking::BatchObservation&) override { ++batches; }
};

} // namespace

TEST(OrbTracking, AnAttachedObserverSeesThePacketsThroughTheStream) {
    Fixture f;
    auto observer = std::make_shared<CountingObserver>();
    f.tracking->attachObserver(observer);
    EXPECT_THROW(f.tracking->attachObserver(std::make_shared<CountingObserver>()), std::logic_error);
    Ref<Kestrel::DeviceNetwork::Interop::IConnection> connection = Kestrel::Orb::Tracking::wireTrackingTask(*f.tracking);
    auto send = [&](uint8_t id, std::vector<uint8_t> payload) {
        Kestrel::DeviceNetwork::Packet packet{id, payload.empty() ? nullptr : payload.data(), uint32_t(payload.size())};
        return connection->onPacket(&packet, 0.0);
    };
    const float celsius = 36.5f;
    std::vector<uint8_t> temperature(4);
    std::memcpy(temperature.data(), &celsius, 4);
    EXPECT_EQ(send(1, temperature), 0u);
    EXPECT_EQ(send(2, {0xFF, 0x7F, 0, 0, 0, 0}), 0u);  // x = 32767: an overflow
    EXPECT_EQ(send(2, {1, 0, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(send(5, {0, 0, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(send(0, {}), 0u);
    // A delta point in the first frame has no reference.
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(send(16, {1, 0, 0}), 0u);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(observer->described, 1);
    EXPECT_TRUE(observer->describedFirst);
    EXPECT_FLOAT_EQ(observer->xi, 0.8f);
    EXPECT_FLOAT_EQ(observer->lastTemperature, celsius);
    EXPECT_EQ(observer->gyroscopes, 2);
    EXPECT_EQ(observer->overflows, 1);
    EXPECT_EQ(observer->accelerometers, 1);
    EXPECT_EQ(observer->frames, 1);
    EXPECT_EQ(observer->invalid, 1);
    f.tracking->setLink(nullptr);
}
