// The simulated tracker against the host's own tracking task: what the host decodes is what
// the simulator meant.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/scene/ImuCalibration.h"
#include "device_simulator/scene/ImuModel.h"
#include "device_simulator/scene/Scenario.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "tests/EnvironmentVariables.h"
#include "tracking/runtime/calibration/PointUndistortion.h"
#include "tracking/runtime/stream/TrackingCotask.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using Kestrel::DeviceSimulator::Vec3;

namespace {

class RecordingCotask final : public Orb::Tracking::Cotask {
public:
    using Cotask::Cotask;
    struct Frame {
        std::vector<std::array<float, 2>> points;
    };
    std::mutex mutex;
    std::vector<Frame> frames;
    std::vector<KestrelMath::vector3<float>> gyroscope, accelerometer;

protected:
    void onAccelerometer(const KestrelMath::vector3<float>& a) override {
        std::lock_guard<std::mutex> lock(mutex);
        accelerometer.push_back(a);
    }
    void onGyroscope(const KestrelMath::vector3<float>& g) override {
        std::lock_guard<std::mutex> lock(mutex);
        gyroscope.push_back(g);
    }
    void onFrame() override {
        std::lock_guard<std::mutex> lock(mutex);
        frames.emplace_back();
    }
    void onRay(float x, float y, int32_t) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (!frames.empty())
            frames.back().points.push_back({x, y});
    }
};

struct Simulation {
    Ref<DeviceNetwork::ILibrary> library;
    Ref<DeviceNetwork::INodeNetwork> network;
    Ref<DeviceSimulator::ISimulationControl> control;

    explicit Simulation(const std::string& json) {
        std::string path = testing::TempDir() + "round_trip_scenario.json";
        std::ofstream(path) << json;
        setenv("KESTREL_SIMULATION", path.c_str(), 1);
        library = load<DeviceNetwork::ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
        unsetenv("KESTREL_SIMULATION");
        std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
        InArray in = inArray(filter);
        check(library.get(), library->createNetwork(&in, network.out()));
        control = library.query<DeviceSimulator::ISimulationControl>();
    }
};

// One bar of 1.5 m with its middle marker at a third ("Single"), which the still tracker sees whole.
const char singleBarCode[] = "AAZTaW5nbGUIAADAP6uqqj4=";

std::string scenario(const std::string& trajectory) {
    return R"({"clock": "fast", "seed": 3, "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "environment": ")" + std::string(singleBarCode) +
           R"(", "trajectory": )" +
           trajectory + R"(,
         "noise": {"centroid": 0, "dropout": 0, "spurious": 0, "reflections": 0, "occlusion": 0,
                   "gyroscope": 0, "gyroscopeBias": 0, "accelerometer": 0, "accelerometerBias": 0}}]})";
}

} // namespace

TEST(HostRoundTrip, StillTrackerRaysMatchTheTrueMarkerDirections) {
    Simulation sim(scenario(R"({"kind": "static", "centre": [0.15, 1.4, -0.25],
                                "rotation": [0.6963642, 0.1227878, 0.1227878, 0.6963642]})"));
    auto* task = new RecordingCotask(sim.network, 2);
    auto viewer = Ref<DeviceNetwork::ICotask>::share(task);
    ASSERT_TRUE(Orb::Tracking::startTrackingTask(*sim.network.get(), 2, *task));
    check(sim.control.get(), sim.control->advance(0.1));

    double pose[7];
    check(sim.control.get(), sim.control->getGroundTruth(2, 0.05, pose));
    DeviceSimulator::Quat rotation{pose[3], pose[4], pose[5], pose[6]};
    Vec3 centre = Vec3{{pose[0], pose[1], pose[2]}} + rotation.rotate(Vec3{{0, 0, 0.0162}});
    std::vector<Vec3> truth;
    for (const Vec3& marker : DeviceSimulator::environmentMarkers(singleBarCode))
        truth.push_back(KestrelMath::normalized(rotation.conjugate().rotate(marker - centre)));

    std::lock_guard<std::mutex> lock(task->mutex);
    ASSERT_GE(task->frames.size(), 20u);
    double worst = 0;
    int rays = 0;
    for (size_t f = 0; f + 1 < task->frames.size(); ++f) {  // the last frame may be incomplete
        ASSERT_EQ(task->frames[f].points.size(), truth.size()) << "frame " << f;
        for (const auto& p : task->frames[f].points) {
            KestrelMath::vector3<float> ray = Orb::Tracking::unifiedRayDirection(p[0], p[1], task->xi());
            Vec3 r = KestrelMath::normalized(Vec3{{ray[0], ray[1], ray[2]}});
            double nearest = M_PI;
            for (const Vec3& t : truth)
                nearest = std::min(nearest, std::acos(std::clamp(KestrelMath::dot(r, t), -1.0, 1.0)));
            worst = std::max(worst, nearest);
            ++rays;
        }
    }
    EXPECT_GT(rays, 50);
    EXPECT_LT(worst, 1e-4) << "worst ray error " << worst << " rad";
    RecordProperty("worstRayErrorMicroradians", int(std::lround(worst * 1e6)));
    viewer.reset();
}

TEST(HostRoundTrip, InertialSamplesArriveWithinQuantisation) {
    const char* circle = R"({"kind": "circle", "centre": [0, 1.6, 0], "radius": 1.0, "period": 3})";
    Simulation sim(scenario(circle));
    auto* task = new RecordingCotask(sim.network, 2);
    auto viewer = Ref<DeviceNetwork::ICotask>::share(task);
    ASSERT_TRUE(Orb::Tracking::startTrackingTask(*sim.network.get(), 2, *task));
    check(sim.control.get(), sim.control->advance(0.5));

    // The same motion, computed here: the library seeds each tracker's scene with
    // seed * 1000003 + handle (only the random walk and the jitter use it).
    DeviceSimulator::Scenario parsed = DeviceSimulator::parseScenario(scenario(circle));
    auto trajectory = DeviceSimulator::makeTrajectory(parsed.devices[1].trajectory, 3 * 1000003u + 2);
    std::lock_guard<std::mutex> lock(task->mutex);
    ASSERT_EQ(task->gyroscope.size(), 1000u);
    ASSERT_EQ(task->accelerometer.size(), 1000u);
    // Half a raw step on each axis through matrices whose rows sum to about 1.02, plus the
    // single precision of the host's arithmetic.
    const double gyroTolerance = 0.52 * DeviceSimulator::gyroscopeScale + 1e-6;
    const double accelTolerance = 0.52 * DeviceSimulator::accelerometerScale + 1e-5;
    for (size_t i = 0; i < 1000; ++i) {
        double t = double(i + 1) / 2000.0;
        Vec3 gyro = DeviceSimulator::trueGyroscope(*trajectory, t);
        Vec3 accel = DeviceSimulator::trueAccelerometer(*trajectory, t);
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(task->gyroscope[i][k], gyro[k], gyroTolerance) << "sample " << i << " axis " << k;
            ASSERT_NEAR(task->accelerometer[i][k], accel[k], accelTolerance) << "sample " << i << " axis " << k;
        }
    }
    viewer.reset();
}
