// A minute of the default scenario's two trackers, as their tracking tasks stream it.
#include <gtest/gtest.h>

#include <set>

#include "StreamDecoder.h"
#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/scene/TrackingStream.h"

using namespace Kestrel::DeviceSimulator;

TEST(TrackingStream, AMinuteOfTheDefaultScenarioUsesEveryPacketKind) {
    Scenario scenario = defaultScenario();
    int counts[26] = {};
    size_t most = 0;
    bool decoded = true;
    for (const ScenarioDevice& tracker : {scenario.devices[1], scenario.devices[2]}) {
        // The seeds the library derives for the first task of each tracker.
        TrackerScene scene(tracker, scenario.seed * 1000003u + tracker.handle, environmentMarkers(tracker.environment),
                           simulatedCamera());
        TrackingStream stream(scene, 0.0, scenario.seed * 7919u + tracker.handle * 104729u);
        StreamDecoder::PointStream host;
        stream.advanceTo(60.0, [&](const EncodedPacket& packet, double) {
            ++counts[packet.id];
            if (packet.id == 0 || packet.id >= 7)
                decoded = host.feed(packet.id, packet.payload) && decoded;
            most = std::max(most, host.current.size());
        });
    }
    EXPECT_TRUE(decoded);
    EXPECT_EQ(counts[0], 2 * 12001);
    EXPECT_EQ(counts[1], 2 * 601);
    EXPECT_EQ(counts[2], 2 * 120000);
    EXPECT_EQ(counts[5], 2 * 120000);
    for (int id = 0; id < 26; ++id) {
        if (id == 3 || id == 4 || id == 6)
            continue;  // accelerometer ranges this tracker does not use
        EXPECT_GT(counts[id], 0) << "packet id " << id << " never sent; at most " << most << " points per frame";
    }
}
