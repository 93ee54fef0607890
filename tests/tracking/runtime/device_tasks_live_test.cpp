// The debug, gyroscope-latency and mid-space tasks against the simulated device network.
#include <gtest/gtest.h>

#include <cmath>

#include "SimulatedNetwork.h"
#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/scene/DebugView.h"
#include "device_simulator/scene/Scenario.h"
#include "tracking/runtime/device_tasks/DebugTaskStart.h"
#include "tracking/runtime/device_tasks/GyroscopeLatency.h"
#include "tracking/runtime/device_tasks/MidSpaceCotask.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
namespace Sim = Kestrel::DeviceSimulator;

namespace {

constexpr uint32_t trackerNode = 2;

std::string scenario(const std::string& trajectory, double frameRate = 200) {
    return R"({"clock": "fast", "seed": 5, "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "frameRate": )" +
           std::to_string(frameRate) + R"(, "trajectory": )" + trajectory + "}]}";
}
const std::string standing = R"({"kind": "static"})";

std::vector<uint8_t> pixelsOf(Orb::IImage* image) {
    std::vector<uint8_t> pixels;
    OutArray out = outArray(pixels);
    check(image, image->getData(&out));
    return pixels;
}

std::vector<Orb::DebugPoint> pointsOf(Orb::Debug::ICotask* task) {
    std::vector<Orb::DebugPoint> points;
    OutArray out = outArray(points);
    check(task, task->getPoints(&out));
    return points;
}

int32_t configOf(Orb::Debug::ICotask* task, uint32_t type) {
    int32_t value = -1;
    check(task, task->getConfig(type, 0, &value));
    return value;
}

} // namespace

TEST(DebugTaskLive, TheImageIsTheSimulatorsRenderingPixelForPixel) {
    const std::string json = scenario(standing);
    SimulatedNetwork sim(json);
    ASSERT_TRUE(sim.network);
    auto task = Orb::Debug::startDebugTask(*sim.network.get(), trackerNode);
    ASSERT_TRUE(task);
    Ref<Orb::IImage> image;
    ASSERT_EQ(0u, task->getImage(image.out())) << lastErrorMessage();
    uint16_t width = 0, height = 0;
    check(image.get(), image->getWidth(&width));
    check(image.get(), image->getHeight(&height));
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);

    // The same rendering made here: the tracker's scene and the debug view with the seeds the
    // simulated network gives the first task of tracker 2 at time 0.
    Sim::Scenario parsed = Sim::parseScenario(json);
    const Sim::ScenarioDevice& config = parsed.devices[1];
    Sim::TrackerScene scene(config, parsed.seed * 1000003u + config.handle, Sim::environmentMarkers(config.environment),
                            Sim::simulatedCamera());
    Sim::DebugView view(scene, parsed.seed * 7919u + trackerNode * 104729u);
    Sim::DebugSnapshot expected = view.snapshot(0.0);
    std::vector<uint8_t> pixels = pixelsOf(image.get());
    ASSERT_EQ(expected.pixels.size(), pixels.size());
    size_t differing = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        differing += pixels[i] != expected.pixels[i];
    EXPECT_EQ(0u, differing);
    size_t bright = 0;
    for (uint8_t p : pixels)
        bright += p > 100;
    EXPECT_GT(bright, 0u) << "the tracker should see some markers";
}

TEST(DebugTaskLive, ThresholdAndExposureChangeWhatTheTrackerReports) {
    SimulatedNetwork sim(scenario(standing));
    ASSERT_TRUE(sim.network);
    auto task = Orb::Debug::startDebugTask(*sim.network.get(), trackerNode);
    ASSERT_TRUE(task);
    EXPECT_EQ(Sim::defaultPixelThreshold, configOf(task.get(), Orb::ConfigType::pixelThreshold));
    EXPECT_EQ(Sim::defaultExposure, configOf(task.get(), Orb::ConfigType::exposure));
    const size_t atDefault = pointsOf(task.get()).size();
    EXPECT_GT(atDefault, 0u);

    Orb::ConfigRecord high{Orb::ConfigType::pixelThreshold, 0, 255};
    check(task.get(), task->setConfig(&high));
    EXPECT_EQ(255, configOf(task.get(), Orb::ConfigType::pixelThreshold));
    EXPECT_LT(pointsOf(task.get()).size(), atDefault);

    Orb::ConfigRecord low{Orb::ConfigType::pixelThreshold, 0, 1};
    check(task.get(), task->setConfig(&low));
    auto points = pointsOf(task.get());
    EXPECT_GE(points.size(), atDefault);
    for (const auto& p : points) {
        EXPECT_GE(p.x, 1.0f);
        EXPECT_LT(p.x, 641.0f);
        EXPECT_GE(p.y, 1.0f);
        EXPECT_LT(p.y, 481.0f);
        EXPECT_GT(p.value, 0u);
    }
    check(task.get(), task->setExposure(60));
    EXPECT_EQ(60, configOf(task.get(), Orb::ConfigType::exposure));
}

TEST(GyroscopeLatencyLive, OneSecondOfRecording) {
    // 45 degrees per second about the tracker's y axis, 120 frames per second.
    SimulatedNetwork sim(scenario(R"({"kind": "spin", "turnRate": 0.78539816})", 120));
    ASSERT_TRUE(sim.network);
    auto* task = new Orb::Tracking::GyroscopeLatency(sim.network, trackerNode);
    Ref<DeviceNetwork::ICotask> viewer = Ref<DeviceNetwork::ICotask>::share(task);
    ASSERT_TRUE(Orb::Tracking::startTrackingTask(*sim.network.get(), trackerNode, *task));
    sim.advance(0.25);
    task->startRecording();
    sim.advance(1.0);
    task->stopRecording();
    sim.advance(0.25);
    auto gyroscope = task->withRecordings([](const auto& g, const auto&) { return g; });
    auto frames = task->withRecordings([](const auto&, const auto& f) { return f; });
    EXPECT_NEAR(2000.0, double(gyroscope.size()), 2.0);
    EXPECT_NEAR(120.0, double(frames.size()), 1.0);
    ASSERT_FALSE(gyroscope.empty());
    EXPECT_NEAR(45.0, gyroscope.back().y(), 0.3);  // degrees turned in the second
    EXPECT_NEAR(0.0, gyroscope.back().x(), 0.3);
    size_t withRays = 0;
    for (const auto& f : frames) {
        EXPECT_EQ(1, f.frameNumber);
        if (f.rayCount > 0) {
            ++withRays;
            EXPECT_NEAR(1.0f, KestrelMath::length(f.direction), 1e-5f);
        }
    }
    EXPECT_GT(withRays, 0u);
}

TEST(MidSpaceLive, TheTurnRateOfASpinningTrackerWithinOnePercent) {
    // 120 degrees per second about the tracker's y axis, which is horizontal: one pass every 3 s.
    SimulatedNetwork sim(scenario(R"({"kind": "spin", "turnRate": 2.0943951})", 100));
    ASSERT_TRUE(sim.network);
    Sim::ISimulationControl* control = sim.control.get();
    // Seconds of the simulation: the device's own clock.
    auto simulationClock = [control] {
        double t = 0;
        control->getTime(&t);
        return int64_t(std::llround(t * 1e9));
    };
    auto* task = new Orb::Tracking::MidSpaceCotask(sim.network, trackerNode, simulationClock);
    Ref<DeviceNetwork::ICotask> viewer = Ref<DeviceNetwork::ICotask>::share(task);
    ASSERT_TRUE(Orb::Tracking::startTrackingTask(*sim.network.get(), trackerNode, *task));
    // 2 s before the up direction is used, a first pass within 3 s more, then three turns.
    for (int step = 0; step < 3000 && task->passes() < 3; ++step)
        sim.advance(0.005);
    ASSERT_EQ(3, task->passes());
    EXPECT_NEAR(120.0, task->turnRate(), 1.2);
    task->withAccumulators([](const Orb::Tracking::MidSpaceCotask::Accumulators& a) {
        // Degrees per sample about y: 120 / 2000.
        const double samples = double(a.gyroscope.primary().count());
        EXPECT_EQ(10000.0, samples);
        EXPECT_NEAR(0.06, a.gyroscope.primary().sums().y() / samples, 0.0006);
        return 0;
    });
}
