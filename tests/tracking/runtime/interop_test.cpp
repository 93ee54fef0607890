#include <gtest/gtest.h>

#include <cstring>

#include "FakeNetwork.h"
#include "LogCapture.h"
#include "tracking/runtime/stream/TrackingHostDeviceInterop.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::DeviceNetwork;
namespace Tracking2 = Kestrel::DeviceNetwork::Tasks::Orb::Tracking2;
using FakeNetworkTest::FakeDevice;

namespace {

// Records which wire method was called, with its payload pointer.
class WireRecorder final : public Implements<Tracking2::IDeviceToHost> {
public:
    int lastId = -1;
    const void* lastPayload = nullptr;
    int calls = 0;

#define WIRE_METHOD(name, type, id) \
    ResultCode KESTREL_CALL name(const type* p) override { return record(id, p); }
    ResultCode KESTREL_CALL beginFrame() override { return record(0, nullptr); }
    WIRE_METHOD(temperature, Tracking2::WireFloat, 1)
    WIRE_METHOD(gyroscope, Tracking2::InertialSample, 2)
    WIRE_METHOD(accelerometer2g, Tracking2::InertialSample, 3)
    WIRE_METHOD(accelerometer4g, Tracking2::InertialSample, 4)
    WIRE_METHOD(accelerometer8g, Tracking2::InertialSample, 5)
    WIRE_METHOD(accelerometer16g, Tracking2::InertialSample, 6)
    WIRE_METHOD(points1, Tracking2::CompressedPoint, 7)
    WIRE_METHOD(points2, Tracking2::CompressedPoint, 8)
    WIRE_METHOD(points3, Tracking2::CompressedPoint, 9)
    WIRE_METHOD(points4, Tracking2::CompressedPoint, 10)
    WIRE_METHOD(points5, Tracking2::CompressedPoint, 11)
    WIRE_METHOD(points6, Tracking2::CompressedPoint, 12)
    WIRE_METHOD(points7, Tracking2::CompressedPoint, 13)
    WIRE_METHOD(points8, Tracking2::CompressedPoint, 14)
    WIRE_METHOD(insertedPointAndDelta, Tracking2::InsertedPointAndDelta, 15)
    WIRE_METHOD(deltas1, Tracking2::PointDelta, 16)
    WIRE_METHOD(deltas2, Tracking2::PointDelta, 17)
    WIRE_METHOD(deltas3, Tracking2::PointDelta, 18)
    WIRE_METHOD(deltas4, Tracking2::PointDelta, 19)
    WIRE_METHOD(deltas5, Tracking2::PointDelta, 20)
    WIRE_METHOD(deltas6, Tracking2::PointDelta, 21)
    WIRE_METHOD(deltas7, Tracking2::PointDelta, 22)
    WIRE_METHOD(deltas8, Tracking2::PointDelta, 23)
    WIRE_METHOD(skipAndDelta, Tracking2::PointDelta, 24)
    WIRE_METHOD(crossedDeltas, Tracking2::PointDelta, 25)
#undef WIRE_METHOD

private:
    ResultCode record(int id, const void* p) {
        lastId = id;
        lastPayload = p;
        ++calls;
        return 0;
    }
};

struct Wired {
    WireRecorder* recorder = new WireRecorder;
    Ref<Tracking2::IDeviceToHost> keep = Ref<Tracking2::IDeviceToHost>::share(recorder);
    Tracking2::HostDeviceInterop* interop = new Tracking2::HostDeviceInterop(keep);
    Ref<Interop::IConnection> connection = Ref<Interop::IConnection>::share(interop);
    Ref<Tasks::Orb::Tracking::IHostToDevice> hostToDevice = interop->hostToDevice();

    ResultCode deliver(uint8_t id, const void* payload, uint32_t size) {
        Packet packet{id, payload, size};
        return connection->onPacket(&packet, 0.0);
    }
};

// The payload size of each id, written out from the packet table.
const uint32_t expectedSizes[26] = {0, 4, 6, 6, 6, 6, 6, 5, 10, 15, 20, 25, 30, 35, 40,
                                    8, 3, 6, 9, 12, 15, 18, 21, 24, 3, 6};

std::string lastErrorOf(IUnsafe* object, ResultCode code) {
    try {
        check(object, code);
    } catch (const Exception& e) {
        return e.message();
    }
    return "";
}

} // namespace

TEST(TrackingInterop, EveryIdReachesItsMethodWithThePayload) {
    Wired w;
    uint8_t buffer[64] = {};
    for (uint8_t id = 0; id < 26; ++id) {
        ASSERT_EQ(0u, w.deliver(id, buffer, expectedSizes[id])) << int(id);
        EXPECT_EQ(id, w.recorder->lastId);
        if (id > 0) {
            EXPECT_EQ(static_cast<const void*>(buffer), w.recorder->lastPayload);
        }
    }
    EXPECT_EQ(26, w.recorder->calls);
    // Frame start needs no payload at all.
    EXPECT_EQ(0u, w.deliver(0, nullptr, 0));
}

TEST(TrackingInterop, LongerPayloadsAreAccepted) {
    Wired w;
    uint8_t buffer[64] = {};
    EXPECT_EQ(0u, w.deliver(7, buffer, 6));
    EXPECT_EQ(7, w.recorder->lastId);
}

TEST(TrackingInterop, ShortPayloadsAreRefusedWithOneLogLine) {
    Wired w;
    uint8_t buffer[64] = {};
    for (uint8_t id = 1; id < 26; ++id) {
        LogCapture log;
        ResultCode code = w.deliver(id, buffer, expectedSizes[id] - 1);
        EXPECT_EQ(E_INVALIDARG_CODE, code) << int(id);
        std::string message = "Tracking packet " + std::to_string(id) + ": payload of " +
                              std::to_string(expectedSizes[id] - 1) + " bytes, needs " +
                              std::to_string(expectedSizes[id]);
        EXPECT_EQ(message, lastErrorOf(w.connection.get(), code));
        EXPECT_EQ(std::vector<std::string>{message}, log.lines());
    }
    EXPECT_EQ(0, w.recorder->calls);
    LogCapture log;
    EXPECT_EQ(E_INVALIDARG_CODE, w.deliver(2, nullptr, 6));  // a size without bytes behind it
}

TEST(TrackingInterop, IdsFromTwentySixOnAreNotImplemented) {
    Wired w;
    uint8_t buffer[64] = {};
    for (int id : {26, 27, 100, 255})
        EXPECT_EQ(E_NOTIMPL_CODE, w.deliver(uint8_t(id), buffer, 64)) << id;
    EXPECT_EQ(0, w.recorder->calls);
    EXPECT_EQ(E_POINTER_CODE, w.connection->onPacket(nullptr, 0.0));
}

TEST(TrackingInterop, HostToDevicePacketsCarryTheCallersBytes) {
    Wired w;
    auto* device = new FakeDevice;
    Ref<Interop::IDataReceiver> keepDevice = Ref<Interop::IDataReceiver>::share(device);
    ASSERT_EQ(0u, w.connection->setPeer(device));
    int32_t exposure = 0x01020304;
    uint8_t four[4] = {9, 8, 7, 6};
    uint8_t one = 0xAB;
    ASSERT_EQ(0u, w.hostToDevice->setExposure(&exposure));
    ASSERT_EQ(0u, w.hostToDevice->sendPacket10(four));
    ASSERT_EQ(0u, w.hostToDevice->sendPacket13(&one));
    auto sent = device->packets();
    ASSERT_EQ(3u, sent.size());
    EXPECT_EQ(9, sent[0].id);
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), sent[0].payload);
    EXPECT_EQ(10, sent[1].id);
    EXPECT_EQ(std::string("\x09\x08\x07\x06", 4), sent[1].payload);
    EXPECT_EQ(13, sent[2].id);
    EXPECT_EQ(std::string("\xAB", 1), sent[2].payload);

    device->failSends = true;
    ResultCode code = w.hostToDevice->setExposure(&exposure);
    EXPECT_EQ(E_FAIL_CODE, code);
    EXPECT_EQ("device refused", lastErrorOf(w.hostToDevice.get(), code));
    EXPECT_EQ(E_POINTER_CODE, w.hostToDevice->setExposure(nullptr));
    EXPECT_EQ(E_POINTER_CODE, w.connection->setPeer(nullptr));
}

TEST(TrackingInterop, SendingWithoutPeerFails) {
    Wired w;
    int32_t exposure = 5;
    ResultCode code = w.hostToDevice->setExposure(&exposure);
    EXPECT_NE(0u, code);
    EXPECT_EQ("Task has no device connection", lastErrorOf(w.hostToDevice.get(), code));
}
