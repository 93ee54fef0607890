// The faults a scenario injects, as the tracking task streams them: each one visible in the
// stream and checked against values worked out by hand (or from the fault's rate).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "StreamDecoder.h"
#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/scene/TrackingStream.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/PointUndistortion.h"

using namespace Kestrel::DeviceSimulator;
namespace Host = Kestrel::Orb::Tracking;

namespace {

// A still tracker at head height over the default floor, camera straight down, with exact blob
// positions and no chance losses; `faults` is the JSON of its "faults" object.
Scenario stillTracker(const std::string& faults, const std::string& noise = R"("centroid": 0, "dropout": 0,
        "spurious": 0, "occlusion": 0)") {
    return parseScenario(R"({"seed": 9, "devices": [{"handle": 1, "kind": "adapter"},
        {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "static", "centre": [0, 1.68, 0]},
         "noise": {)" + noise + R"(}, "faults": {)" + faults + "}}]}");
}

// The tracker's scene and task stream, seeded as the simulated network seeds its first task.
struct FaultyTracker {
    explicit FaultyTracker(Scenario s) : scenario(std::move(s)), device(scenario.devices[1]) {
        resolveCoveredMarkers(device.environment, device.faults.covered);
        scene = std::make_unique<TrackerScene>(device, scenario.seed * 1000003u + device.handle,
                                               environmentMarkers(device.environment), simulatedCamera());
        stream = std::make_unique<TrackingStream>(*scene, 0.0, scenario.seed * 7919u + device.handle * 104729u);
    }
    // Blobs of the frames at 200 per second from time 0 to `seconds`.
    std::vector<std::vector<Blob>> frames(double seconds) const {
        std::mt19937_64 random(5);
        std::vector<std::vector<Blob>> out;
        for (int n = 0; n <= int(seconds * 200); ++n)
            out.push_back(scene->frameBlobs(n / 200.0, 35.0f, defaultExposure, random));
        return out;
    }

    Scenario scenario;
    ScenarioDevice device;
    std::unique_ptr<TrackerScene> scene;
    std::unique_ptr<TrackingStream> stream;
};

int framesShowing(const std::vector<std::vector<Blob>>& frames, int64_t identity) {
    int count = 0;
    for (const auto& frame : frames)
        for (const Blob& b : frame)
            count += b.identity == identity;
    return count;
}

} // namespace

// Tile (3, 2) is the second tile of the default floor's list, so its middle marker is marker
// 1 * 3 + 1 = 4; the tracker stands 0.3 m from it and sees it in every clean frame.
TEST(DeviceFaults, CoveredMarkerIsNeverSeen) {
    FaultyTracker clean(stillTracker(""));
    FaultyTracker byTile(stillTracker(R"("covered": [{"tile": [3, 2], "marker": 1}])"));
    FaultyTracker byIndex(stillTracker(R"("covered": [4, 9])"));
    ASSERT_EQ(byTile.device.faults.covered[0].index, 4);
    EXPECT_EQ(framesShowing(clean.frames(2), 4), 401);
    EXPECT_EQ(framesShowing(byTile.frames(2), 4), 0);
    EXPECT_EQ(framesShowing(byIndex.frames(2), 4), 0);
    EXPECT_EQ(framesShowing(byIndex.frames(2), 9), 0);
    EXPECT_EQ(framesShowing(byTile.frames(2), 3), 401);  // its neighbours on the bar stay
    EXPECT_EQ(framesShowing(byTile.frames(2), 5), framesShowing(clean.frames(2), 5));

    Scenario noTile = stillTracker(R"("covered": [{"tile": [0, 0], "marker": 2}])");
    EXPECT_THROW(resolveCoveredMarkers(noTile.devices[1].environment, noTile.devices[1].faults.covered),
                 std::runtime_error);
    Scenario beyond = stillTracker(R"("covered": [27])");
    EXPECT_THROW(TrackerScene(beyond.devices[1], 1, environmentMarkers(beyond.devices[1].environment), simulatedCamera()),
                 std::invalid_argument);
}

// A lamp on the floor at (0.5, 0, 0.3) under a camera at (0, 1.68 - 0.0162, 0) looking down:
// the direction in the camera frame is (0.5, 0.3, 1.6638) / 1.76302, and twice a marker's
// brightness there is 2 * 4000 / 1.76302^2 = 2573.8. Flickering at 4 Hz it shows in the
// first half of every 50 frames.
TEST(DeviceFaults, LampIsSeenLikeAMarkerWhereItStands) {
    FaultyTracker steady(stillTracker(R"("lamps": [{"position": [0.5, 0, 0.3], "brightness": 2}])"));
    Host::PointUndistortion host(Host::parseGeometrySettings(simulatedCamera()->geometrySettingsRecord()));
    const auto frames = steady.frames(1);
    EXPECT_EQ(framesShowing(frames, lampIdentityBase), 201);
    for (const Blob& b : frames[17]) {
        if (b.identity != lampIdentityBase)
            continue;
        const auto ray = host.pixelToRay(float(b.pixel.x), float(b.pixel.y), 35.0f);
        ASSERT_TRUE(ray);
        const double cosine = (0.28360468 * (*ray)[0] + 0.17016281 * (*ray)[1] + 0.94372295 * (*ray)[2]) /
                              KestrelMath::length(*ray);
        EXPECT_LT(std::acos(std::min(1.0, cosine)), 1e-4);
        EXPECT_NEAR(b.value, 2573.8, 2573.8 * 0.04);  // 1 % brightness noise per frame
    }

    FaultyTracker flicker(stillTracker(R"("lamps": [{"position": [0.5, 0, 0.3], "flickerHz": 4}])"));
    const auto flickering = flicker.frames(2);
    for (size_t n = 0; n < flickering.size(); ++n)
        EXPECT_EQ(framesShowing({flickering[n]}, lampIdentityBase), n % 50 < 25 ? 1 : 0) << "frame " << n;
}

// 5 % of the 2001 frames of 10 s: 100 lost, standard deviation 9.7; the frames that remain
// still decode (deltas refer to the last frame sent) and every interval is a whole number of
// frame periods.
TEST(DeviceFaults, LostFramesLeaveGapsAtTheirRate) {
    FaultyTracker run(stillTracker(R"("lostFrames": 0.05)", R"("occlusion": 0)"));
    StreamDecoder::PointStream host;
    bool decoded = true;
    std::vector<double> starts;
    run.stream->advanceTo(10.0, [&](const EncodedPacket& packet, double time) {
        if (packet.id == 0)
            starts.push_back(time);
        if (packet.id == 0 || packet.id >= 7)
            decoded = host.feed(packet.id, packet.payload) && decoded;
    });
    EXPECT_TRUE(decoded);
    EXPECT_NEAR(double(starts.size()), 2001 - 100, 40);
    int longer = 0;
    for (size_t i = 1; i < starts.size(); ++i) {
        const double periods = (starts[i] - starts[i - 1]) * 200;
        EXPECT_NEAR(periods, std::round(periods), 1e-6);
        longer += periods > 1.5;
    }
    EXPECT_GT(longer, 50);
}

// Two gaps of 40 samples per second over 60 s: 120 gaps expected (Poisson, standard deviation
// 11); gyroscope and accelerometer go missing together, in runs of at least 40 samples.
TEST(DeviceFaults, InertialGapsAreRunsOfMissingSamples) {
    FaultyTracker run(stillTracker(R"("inertialGaps": {"perSecond": 2, "samples": 40})"));
    std::vector<double> gyroscope, accelerometer;
    run.stream->advanceTo(60.0, [&](const EncodedPacket& packet, double time) {
        if (packet.id == 2)
            gyroscope.push_back(time);
        if (packet.id == 5)
            accelerometer.push_back(time);
    });
    EXPECT_EQ(gyroscope, accelerometer);
    int runs = 0;
    int64_t missing = 0;
    for (size_t i = 1; i < gyroscope.size(); ++i) {
        const auto skipped = std::llround((gyroscope[i] - gyroscope[i - 1]) * 2000) - 1;
        if (skipped == 0)
            continue;
        ++runs;
        missing += skipped;
        EXPECT_GE(skipped, 40);
    }
    EXPECT_NEAR(runs, 120, 44);
    EXPECT_EQ(int64_t(gyroscope.size()) + missing, 120000);  // samples 1 to 120000, less the gaps
}

// Gain 1000 puts every blob the camera can see (up to 11 m: 4000 * 1000 / d^2 > 32128) at the
// top value code; the clean scene has none there.
TEST(DeviceFaults, OverexposureSaturatesEveryBlob) {
    for (const char* gain : {"1", "1000"}) {
        FaultyTracker run(stillTracker(std::string(R"("exposureGain": )") + gain));
        int points = 0, saturated = 0;
        StreamDecoder::PointStream host;
        run.stream->advanceTo(1.0, [&](const EncodedPacket& packet, double) {
            if (packet.id != 0 && packet.id < 7)
                return;
            ASSERT_TRUE(host.feed(packet.id, packet.payload));
            if (packet.id == 0)
                for (const WirePoint& p : host.previous) {
                    ++points;
                    saturated += p.value == 255;
                }
        });
        SCOPED_TRACE(gain);
        EXPECT_GT(points, 1000);
        EXPECT_EQ(saturated, std::string(gain) == "1" ? 0 : points);
    }
}

// The example scenarios of the faults and the ceiling walk make trackers (their covered tiles
// carry bars) and inject what their names say: one fault each, two in "faults-".
TEST(DeviceFaults, ExampleScenariosInjectTheirFault) {
    for (const char* name : {"fault-covered-marker", "fault-lamp", "fault-lamp-near-marker", "fault-flickering-lamp",
                             "fault-lost-frames", "fault-inertial-gaps", "fault-inertial-lag", "fault-overexposure",
                             "faults-covered-marker-and-lamp", "ceiling-walk"}) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(ORB_SOURCE_DIR "/device_simulator/scenarios/") + name + ".json");
        ASSERT_TRUE(in);
        const FaultyTracker tracker(parseScenario(std::string(std::istreambuf_iterator<char>(in), {})));
        const DeviceFaults& f = tracker.device.faults;
        const int injected = int(!f.covered.empty()) + int(!f.lamps.empty()) + int(f.lostFrames > 0) +
                             int(f.inertialGaps.perSecond > 0) + int(f.exposureGain != 1.0) +
                             int(tracker.device.imuDelayMs != 0);
        const std::string n = name;
        EXPECT_EQ(injected, n == "ceiling-walk" ? 0 : n == "faults-covered-marker-and-lamp" ? 2 : 1);
    }
}
