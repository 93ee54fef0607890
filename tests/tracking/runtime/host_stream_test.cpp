#include <gtest/gtest.h>

#include <vector>

#include "Recorders.h"
#include "tracking/runtime/stream/HostStream.h"
#include "tracking/runtime/stream/TrackingHostDeviceInterop.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::DeviceNetwork;
using Recorders::DecodedRecorder;
namespace Wire = Kestrel::DeviceNetwork::Tasks::Orb;
using Wire::OpticalPointsCompression::decodeBlobValue;

namespace {

using Bytes = std::vector<uint8_t>;

// interop -> stream -> recorder, fed with hand-built packets.
class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = new DecodedRecorder;
        auto target = Ref<Wire::Tracking::IDeviceToHost>::share(recorder);
        auto stream = makeInterfaced<Wire::OpticalPointsCompression::HostStream, Wire::Tracking2::IDeviceToHost>(target);
        connection = makeInterfaced<Wire::Tracking2::HostDeviceInterop, Interop::IConnection>(stream);
        keepRecorder = target;
    }
    ResultCode send(uint8_t id, const Bytes& payload) {
        Packet packet{id, payload.empty() ? nullptr : payload.data(), uint32_t(payload.size())};
        return connection->onPacket(&packet, 1.5);
    }
    // Sends and returns what the stream wrote to the standard output.
    std::string sendCapturingStdout(uint8_t id, const Bytes& payload) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(0u, send(id, payload));
        return ::testing::internal::GetCapturedStdout();
    }
    std::vector<std::pair<int, int>> positions() const {
        std::vector<std::pair<int, int>> out;
        for (const auto& p : recorder->points)
            out.emplace_back(p.x16(), p.y16());
        return out;
    }

    DecodedRecorder* recorder = nullptr;
    Ref<Wire::Tracking::IDeviceToHost> keepRecorder;
    Ref<Interop::IConnection> connection;
};

using Positions = std::vector<std::pair<int, int>>;

} // namespace

TEST(BlobValue, CodesDecodeLogLike) {
    EXPECT_EQ(0, decodeBlobValue(0));
    EXPECT_EQ(4, decodeBlobValue(1));
    EXPECT_EQ(124, decodeBlobValue(31));
    EXPECT_EQ(128, decodeBlobValue(32));
    EXPECT_EQ(136, decodeBlobValue(33));   // the step doubles to 8
    EXPECT_EQ(376, decodeBlobValue(63));
    EXPECT_EQ(384, decodeBlobValue(64));   // and to 16
    EXPECT_EQ(32128, decodeBlobValue(255));
}

TEST(PointDelta, TenBitAndFourBitTwosComplementFields) {
    // dx = +1, dy = -1, dv = +1: 01 FF 1C.
    Wire::Tracking2::PointDelta d{0x01, 0xFF, 0x1C};
    EXPECT_EQ(1, d.dx());
    EXPECT_EQ(-1, d.dy());
    EXPECT_EQ(1, d.dv());
    // dx = -512, dy = +511, dv = -8: 00 FF 86.
    Wire::Tracking2::PointDelta e{0x00, 0xFF, 0x86};
    EXPECT_EQ(-512, e.dx());
    EXPECT_EQ(511, e.dy());
    EXPECT_EQ(-8, e.dv());
    auto made = Wire::Tracking2::PointDelta::make(-512, 511, -8);
    EXPECT_EQ(0x00, made.dxLow);
    EXPECT_EQ(0xFF, made.dyLow);
    EXPECT_EQ(0x86, made.high);
}

TEST_F(StreamTest, InertialAndTemperaturePacketsAreForwarded) {
    EXPECT_EQ(0u, send(1, {0x00, 0x00, 0x0C, 0x42}));  // 35.0f
    EXPECT_EQ(0u, send(2, {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80}));
    EXPECT_EQ(0u, send(3, {0xFF, 0x7F, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(0u, send(4, {0x03, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(0u, send(5, {0x04, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(0u, send(6, {0x05, 0x00, 0x00, 0x00, 0x00, 0x00}));
    std::vector<std::string> expected = {"temperature 35.000000", "gyroscope 1 -1 -32768", "accelerometer2g 32767 0 2",
                                         "accelerometer4g 3 0 0",  "accelerometer8g 4 0 0", "accelerometer16g 5 0 0"};
    EXPECT_EQ(expected, recorder->events);
}

TEST_F(StreamTest, FullPointsDecodeValueAndPixelPosition) {
    // id 7: x = 0, y = 65535, code 31; id 8: two points.
    EXPECT_EQ(0u, send(7, {0x00, 0x00, 0xFF, 0xFF, 0x1F}));
    EXPECT_EQ(0u, send(8, {0xFF, 0xFF, 0x00, 0x00, 0x20, 0x00, 0x80, 0x00, 0x80, 0xFF}));
    ASSERT_EQ(3u, recorder->points.size());
    EXPECT_EQ(124, recorder->points[0].value);
    EXPECT_EQ(1.0f, recorder->points[0].x);
    EXPECT_EQ(481.0f, recorder->points[0].y);
    EXPECT_EQ(128, recorder->points[1].value);
    EXPECT_EQ(641.0f, recorder->points[1].x);
    EXPECT_EQ(1.0f, recorder->points[1].y);
    EXPECT_EQ(32128, recorder->points[2].value);
    EXPECT_FLOAT_EQ(321.0048828f, recorder->points[2].x);  // 32768 / 65535 * 640 + 1
    EXPECT_FLOAT_EQ(241.0036621f, recorder->points[2].y);
}

TEST_F(StreamTest, EveryFullPointPacketCarriesItsCount) {
    for (uint8_t id = 7; id <= 14; ++id) {
        int count = id - 6;
        Bytes payload;
        for (int i = 0; i < count; ++i)
            payload.insert(payload.end(), {uint8_t(i), uint8_t(id), 0x10, 0x00, 0x00});
        ASSERT_EQ(0u, send(id, payload));
    }
    ASSERT_EQ(36u, recorder->points.size());  // 1 + 2 + ... + 8
    EXPECT_EQ(7 * 256 + 0, recorder->points[0].x16());
    EXPECT_EQ(14 * 256 + 7, recorder->points[35].x16());
    EXPECT_EQ(16, recorder->points[35].y16());
}

TEST_F(StreamTest, DeltasWrapAroundAtBothEnds) {
    // Frame 1: (65535, 0, 255) and (0, 65535, 0).
    ASSERT_EQ(0u, send(8, {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00}));
    ASSERT_EQ(0u, send(0, {}));
    // id 17, two deltas: (+1, -1, +1) then (-1, +1, -8).
    ASSERT_EQ(0u, send(17, {0x01, 0xFF, 0x1C, 0xFF, 0x01, 0x83}));
    ASSERT_EQ(4u, recorder->points.size());
    EXPECT_EQ(0, recorder->points[2].x16());
    EXPECT_EQ(65535, recorder->points[2].y16());
    EXPECT_EQ(0, recorder->points[2].value);          // 255 + 1 = 0 mod 256
    EXPECT_EQ(65535, recorder->points[3].x16());
    EXPECT_EQ(0, recorder->points[3].y16());
    EXPECT_EQ(decodeBlobValue(248), recorder->points[3].value);  // 0 - 8 = 248 mod 256
}

TEST_F(StreamTest, EveryDeltaPacketCarriesItsCount) {
    Bytes full;
    for (int i = 0; i < 8; ++i)
        full.insert(full.end(), {0x00, uint8_t(i), 0x00, 0x10, 0x20});  // (256 i, 4096), code 32
    for (uint8_t id = 16; id <= 23; ++id) {
        ASSERT_EQ(0u, send(0, {}));
        ASSERT_EQ(0u, send(14, full));
        ASSERT_EQ(0u, send(0, {}));
        int count = id - 15;
        Bytes payload;
        for (int i = 0; i < count; ++i)
            payload.insert(payload.end(), {0x02, 0x00, 0x00});  // dx = +2
        ASSERT_EQ(0u, send(id, payload));
        const auto& last = recorder->points.back();
        EXPECT_EQ((count - 1) * 256 + 2, last.x16()) << int(id);
        EXPECT_EQ(4096, last.y16());
        EXPECT_EQ(128, last.value);
    }
    ASSERT_EQ(8u * 8u + 36u, recorder->points.size());
}

TEST_F(StreamTest, ADeltaInTheFirstFrameIsDropped) {
    EXPECT_EQ("Invalid stream sequence!!!\n", sendCapturingStdout(16, {0x01, 0x00, 0x00}));
    EXPECT_TRUE(recorder->points.empty());
    // A new frame right after the start still has an empty previous frame.
    ASSERT_EQ(0u, send(0, {}));
    EXPECT_EQ("Invalid stream sequence!!!\n", sendCapturingStdout(16, {0x01, 0x00, 0x00}));
    EXPECT_TRUE(recorder->points.empty());
}

TEST_F(StreamTest, InsertedPointTakesNoReference) {
    // Frame 1: A = (100, 10), B = (200, 20), C = (300, 30).
    ASSERT_EQ(0u, send(9, {100, 0, 10, 0, 0, 200, 0, 20, 0, 0, 0x2C, 0x01, 30, 0, 0}));
    ASSERT_EQ(0u, send(0, {}));
    // id 15: P = (5000, 6000) then delta +1 on A; then id 16: delta +2 on B.
    ASSERT_EQ(0u, send(15, {0x88, 0x13, 0x70, 0x17, 0x00, 0x01, 0x00, 0x00}));
    ASSERT_EQ(0u, send(16, {0x02, 0x00, 0x00}));
    Positions all = positions();
    Positions frame2(all.begin() + 3, all.end());
    EXPECT_EQ((Positions{{5000, 6000}, {101, 10}, {202, 20}}), frame2);
}

TEST_F(StreamTest, SkipDropsOneReference) {
    ASSERT_EQ(0u, send(9, {100, 0, 10, 0, 0, 200, 0, 20, 0, 0, 0x2C, 0x01, 30, 0, 0}));
    ASSERT_EQ(0u, send(0, {}));
    ASSERT_EQ(0u, send(24, {0x00, 0x01, 0x00}));  // B + (0, +1)
    ASSERT_EQ(0u, send(16, {0x00, 0x02, 0x00}));  // C + (0, +2)
    Positions all = positions();
    Positions frame2(all.begin() + 3, all.end());
    EXPECT_EQ((Positions{{200, 21}, {300, 32}}), frame2);
    // A skip past the end of the previous frame is an invalid sequence.
    EXPECT_EQ("Invalid stream sequence!!!\n", sendCapturingStdout(24, {0x00, 0x00, 0x00}));
    EXPECT_EQ(5u, recorder->points.size());
}

TEST_F(StreamTest, CrossedPairWithBothReferences) {
    ASSERT_EQ(0u, send(8, {100, 0, 10, 0, 0, 200, 0, 20, 0, 0}));
    ASSERT_EQ(0u, send(0, {}));
    // First delta against B (index 1), second against A (index 0).
    ASSERT_EQ(0u, send(25, {0x01, 0x00, 0x00, 0x00, 0x03, 0x00}));
    Positions all = positions();
    Positions frame2(all.begin() + 2, all.end());
    EXPECT_EQ((Positions{{201, 20}, {100, 13}}), frame2);
    // The reference index moved past both: a further delta has no reference.
    EXPECT_EQ("Invalid stream sequence!!!\n", sendCapturingStdout(16, {0, 0, 0}));
}

TEST_F(StreamTest, CrossedPairWithOneReferenceMissingIsDroppedWhole) {
    ASSERT_EQ(0u, send(7, {100, 0, 10, 0, 0}));
    ASSERT_EQ(0u, send(0, {}));
    EXPECT_EQ("Invalid stream sequence!!!\n", sendCapturingStdout(25, {0x01, 0x00, 0x00, 0x00, 0x03, 0x00}));
    EXPECT_EQ(1u, recorder->points.size());
    // The reference index did not move: A is still the next reference.
    ASSERT_EQ(0u, send(16, {0x05, 0x00, 0x00}));
    EXPECT_EQ(105, recorder->points.back().x16());
}

TEST_F(StreamTest, BeginFrameSwapsListsAndIsForwarded) {
    ASSERT_EQ(0u, send(7, {100, 0, 10, 0, 0}));
    ASSERT_EQ(0u, send(0, {}));
    ASSERT_EQ(0u, send(7, {50, 0, 10, 0, 0}));  // frame 2 holds one full point
    ASSERT_EQ(0u, send(0, {}));
    ASSERT_EQ(0u, send(16, {0x01, 0x00, 0x00}));  // refers to frame 2's point, not frame 1's
    EXPECT_EQ(51, recorder->points.back().x16());
    EXPECT_EQ(2, std::count(recorder->events.begin(), recorder->events.end(), "frame"));
}

TEST_F(StreamTest, TargetFailureFailsThePacket) {
    recorder->failPointsWith = 0x80001111u;
    EXPECT_EQ(0x80001111u, send(7, {1, 0, 10, 0, 0}));
}

TEST_F(StreamTest, ATargetFailureMidPacketDropsTheFrameButKeepsEveryReference) {
    ASSERT_EQ(0u, send(7, {100, 0, 10, 0, 0}));  // A
    recorder->failPointsWith = 0x80001111u;
    EXPECT_EQ(0x80001111u, send(8, {200, 0, 20, 0, 0, 0x2C, 0x01, 30, 0, 0}));  // B fails, C follows it
    recorder->failPointsWith = 0;
    EXPECT_EQ(0u, send(7, {0x90, 0x01, 40, 0, 0}));  // D: the frame is dropped from B on
    ASSERT_EQ(0u, send(0, {}));
    // Four deltas of +1 against A, B, C and D.
    ASSERT_EQ(0u, send(19, {1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0}));
    EXPECT_EQ((Positions{{100, 10}, {101, 10}, {201, 20}, {301, 30}, {401, 40}}), positions());
}

TEST_F(StreamTest, AfterADeltaWithoutReferenceOnlyFullPointsStartAfresh) {
    // The host joins a running stream: two deltas against a frame it never saw, then a full
    // point. The tracker now holds three points, the host one.
    EXPECT_EQ("Invalid stream sequence!!!\nInvalid stream sequence!!!\n",
              sendCapturingStdout(17, {1, 0, 0, 1, 0, 0}));
    ASSERT_EQ(0u, send(7, {0xE8, 0x03, 0xD0, 0x07, 0}));  // (1000, 2000)
    ASSERT_EQ(0u, send(0, {}));
    // Three deltas: the first one's reference at the host is not the tracker's; it is dropped.
    EXPECT_EQ("Invalid stream sequence!!!\nInvalid stream sequence!!!\n",
              sendCapturingStdout(18, {1, 0, 0, 1, 0, 0, 1, 0, 0}));
    ASSERT_EQ(0u, send(0, {}));
    ASSERT_EQ(0u, send(7, {0xB8, 0x0B, 100, 0, 0}));  // a full point (3000, 100)
    ASSERT_EQ(0u, send(0, {}));
    ASSERT_EQ(0u, send(16, {5, 0, 0}));  // a delta against it
    EXPECT_EQ((Positions{{1000, 2000}, {3000, 100}, {3005, 100}}), positions());
}
