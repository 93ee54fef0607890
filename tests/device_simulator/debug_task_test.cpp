// The debug task through the loaded library: configuration, camera image and point list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "FakeHost.h"
#include "StreamDecoder.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/TaskIds.h"
#include "device_simulator/scene/DebugView.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "tests/EnvironmentVariables.h"

using namespace Kestrel;
using namespace Kestrel::InterfaceContract;
using DeviceNetwork::INodeNetwork;
using DeviceNetwork::Interop::IConnection;
using DeviceNetwork::Interop::IDataReceiver;
using DeviceSimulator::DebugPoint;

namespace {

struct ConfigRecord {
    uint32_t type, address;
    int32_t value;
};

class DebugTask : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("KESTREL_SIMULATION");
        library = load<DeviceNetwork::ILibrary>(ORB_BIN_DIR "/KestrelDeviceNetwork");
        ASSERT_TRUE(library);
        std::vector<DeviceNetwork::DeviceType> filter{{0x3237, 0}, {0x0301, 0}};
        InArray in = inArray(filter);
        check(library.get(), library->createNetwork(&in, network.out()));
        Ref<IConnection> host = makeInterfaced<FakeHost, IConnection>(record);
        check(network.get(), network->startTask(3, &DeviceSimulator::debugTaskId, host.detach(), device.out()));
        ASSERT_TRUE(device);
    }

    // Sends one packet and waits for the packet that completes the answer (id `last`).
    std::vector<ReceivedPacket> ask(uint8_t id, const void* payload, uint32_t size, uint8_t last) {
        size_t before = record->take().size();
        DeviceNetwork::Packet p{id, payload, size};
        EXPECT_EQ(device->onPacket(&p, 0), S_OK_CODE);
        EXPECT_TRUE(record->waitFor([&](HostRecord& r) {
            return r.packets.size() > before && r.packets.back().id == last;
        }));
        auto all = record->take();
        return std::vector<ReceivedPacket>(all.begin() + long(before), all.end());
    }

    int32_t getConfig(uint32_t type) {
        ConfigRecord request{type, 0, 0};
        auto answer = ask(5, &request, sizeof request, 11);
        EXPECT_EQ(answer.size(), 2u);
        EXPECT_EQ(answer[0].id, 4);
        ConfigRecord reply{};
        EXPECT_EQ(answer[0].payload.size(), sizeof reply);
        std::memcpy(&reply, answer[0].payload.data(), sizeof reply);
        EXPECT_EQ(reply.type, type);
        return reply.value;
    }
    void setConfig(uint32_t type, int32_t value) {
        ConfigRecord record{type, 0, value};
        DeviceNetwork::Packet p{4, &record, sizeof record};
        EXPECT_EQ(device->onPacket(&p, 0), S_OK_CODE);
    }
    std::vector<uint8_t> image() {
        std::string stream;
        auto answer = ask(12, nullptr, 0, 9);
        for (const auto& p : answer) {
            EXPECT_TRUE(p.id == 8 || p.id == 9);
            stream += p.id == 8 ? p.payload : p.payload.substr(1, uint8_t(p.payload[0]));
        }
        return StreamDecoder::decodeImage(stream);
    }
    std::vector<DebugPoint> points() {
        std::vector<DebugPoint> list;
        for (const auto& p : ask(13, nullptr, 0, 11)) {
            if (p.id != 10)
                continue;
            DebugPoint point;
            EXPECT_EQ(p.payload.size(), sizeof point);
            std::memcpy(&point, p.payload.data(), sizeof point);
            list.push_back(point);
        }
        return list;
    }

    std::shared_ptr<HostRecord> record = std::make_shared<HostRecord>();
    Ref<DeviceNetwork::ILibrary> library;
    Ref<INodeNetwork> network;
    Ref<IDataReceiver> device;
};

double meanAround(const std::vector<uint8_t>& image, const std::vector<DebugPoint>& points) {
    double sum = 0;
    int n = 0;
    for (const auto& p : points)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int col = int(p.x - 1.5f) + dx, row = int(p.y - 1.5f) + dy;
                if (col >= 0 && col < 640 && row >= 0 && row < 480) {
                    sum += image[size_t(row) * 640 + size_t(col)];
                    ++n;
                }
            }
    return n ? sum / n : 0;
}

} // namespace

TEST_F(DebugTask, ConfigurationRoundTrip) {
    EXPECT_EQ(getConfig(4), 10);   // exposure
    EXPECT_EQ(getConfig(0), 40);   // pixel threshold
    setConfig(4, 25);
    setConfig(0, 90);
    EXPECT_EQ(getConfig(4), 25);
    EXPECT_EQ(getConfig(0), 90);
    // Unused packets are accepted; sizes are checked; unknown ids refused.
    uint32_t four = 0;
    DeviceNetwork::Packet unused{1, &four, 4}, wrongSize{5, &four, 4}, unknown{6, nullptr, 0};
    EXPECT_EQ(device->onPacket(&unused, 0), S_OK_CODE);
    EXPECT_EQ(device->onPacket(&wrongSize, 0), E_INVALIDARG_CODE);
    EXPECT_EQ(device->onPacket(&unknown, 0), E_NOTIMPL_CODE);
}

TEST_F(DebugTask, ImageAndPointsShowTheSameBlobs) {
    std::vector<uint8_t> dim = image();
    ASSERT_EQ(dim.size(), 640u * 480u);
    for (uint8_t v : dim)
        ASSERT_NE(v, 0);  // every pixel written, none 0
    std::vector<DebugPoint> seen = points();
    ASSERT_FALSE(seen.empty());
    for (const auto& p : seen) {
        EXPECT_GE(p.x, 1.0f);
        EXPECT_LT(p.x, 641.0f);
        EXPECT_GE(p.y, 5.0f);
        EXPECT_LT(p.y, 475.0f);
        EXPECT_GT(p.value, 0u);
    }
    // The blobs of the point list are bright spots of the image, far above the background.
    double background = 0;
    for (int i = 0; i < 640 * 10; ++i)
        background += dim[size_t(i)];
    background /= 640 * 10;
    EXPECT_LT(background, 12.0);
    double atPoints = meanAround(dim, seen);
    EXPECT_GT(atPoints, 3 * background);
    // Brighter with more exposure.
    setConfig(4, 30);
    EXPECT_GT(meanAround(image(), seen), atPoints * 1.5);
    // A threshold above every blob lists nothing.
    setConfig(0, 100000);
    EXPECT_TRUE(points().empty());
}
