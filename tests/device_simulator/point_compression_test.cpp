#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "StreamDecoder.h"
#include "device_simulator/scene/PointCompressor.h"

using namespace Kestrel::DeviceSimulator;

namespace {

std::vector<uint8_t> ids(const std::vector<EncodedPacket>& packets) {
    std::vector<uint8_t> out;
    for (const auto& p : packets)
        out.push_back(p.id);
    return out;
}

FramePoint at(int64_t identity, uint16_t x, uint16_t y, uint8_t v = 50) { return {identity, WirePoint{x, y, v}}; }

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(char(v));
    return s;
}

} // namespace

TEST(PointCompression, WireBytesAreLittleEndian) {
    EXPECT_EQ(encodeWirePoint({0x1234, 0xABCD, 7}), bytes({0x34, 0x12, 0xCD, 0xAB, 0x07}));
    // dx = -10 (0x3F6), dy = 5, dv = +2: F6 05, then bits 8-9 of dx (3), of dy (0), dv (2) << 4.
    EXPECT_EQ(encodeDelta({100, 200, 50}, {90, 205, 52}), bytes({0xF6, 0x05, 0x23}));
    // dx = 511, dy = -512 (0x200), dv = -8 (0x8): FF 00, 1 | 2 << 2 | 8 << 4.
    EXPECT_EQ(encodeDelta({1000, 1000, 100}, {1511, 488, 92}), bytes({0xFF, 0x00, 0x89}));
}

TEST(PointCompression, DeltaLimits) {
    EXPECT_TRUE(fitsDelta({1000, 1000, 100}, {1511, 488, 107}));
    EXPECT_FALSE(fitsDelta({1000, 1000, 100}, {1512, 1000, 100}));
    EXPECT_FALSE(fitsDelta({1000, 1000, 100}, {1000, 487, 100}));
    EXPECT_FALSE(fitsDelta({1000, 1000, 100}, {1000, 1000, 108}));
    EXPECT_FALSE(fitsDelta({1000, 1000, 100}, {1000, 1000, 91}));
    // Sums wrap modulo 65536 and 256.
    EXPECT_TRUE(fitsDelta({65530, 3, 254}, {4, 65533, 2}));
    EXPECT_EQ(encodeDelta({65530, 3, 254}, {4, 65533, 2}), bytes({10, 0xFA, 0x0C | 0x40}));
}

TEST(PointCompression, ChoosesEachFormLikeATracker) {
    PointCompressor c;
    // First frame: nothing to refer to, three full points in one packet (id 9), raster order.
    auto first = c.encodeFrame({at(3, 900, 3000), at(1, 100, 1000), at(2, 500, 2000)});
    EXPECT_EQ(ids(first), (std::vector<uint8_t>{0, 9}));
    EXPECT_EQ(first[1].payload.substr(0, 5), encodeWirePoint({100, 1000, 50}));
    // All moved a little: three deltas (id 18).
    EXPECT_EQ(ids(c.encodeFrame({at(1, 104, 1002), at(2, 503, 2001), at(3, 899, 3004)})), (std::vector<uint8_t>{0, 18}));
    // The middle one vanished: delta, then skip-and-delta (24).
    EXPECT_EQ(ids(c.encodeFrame({at(1, 105, 1003), at(3, 900, 3005)})), (std::vector<uint8_t>{0, 16, 24}));
    // A new point between the two: delta, then insert (15) with the following delta.
    EXPECT_EQ(ids(c.encodeFrame({at(1, 106, 1004), at(4, 400, 2000), at(3, 901, 3006)})),
              (std::vector<uint8_t>{0, 16, 15}));
    // 4 and 3 swap rows: delta for 1, then the crossed pair (25).
    EXPECT_EQ(ids(c.encodeFrame({at(1, 107, 1005), at(4, 400, 2505), at(3, 902, 2500)})),
              (std::vector<uint8_t>{0, 16, 25}));
}

TEST(PointCompression, FallsBackToFullPoints) {
    PointCompressor c;
    c.encodeFrame({at(1, 100, 1000), at(2, 100, 2000), at(3, 100, 3000), at(4, 100, 4000)});
    // Two neighbours vanished: no form skips two references, so the last point goes in full.
    EXPECT_EQ(ids(c.encodeFrame({at(1, 100, 1000), at(4, 100, 4000)})), (std::vector<uint8_t>{0, 16, 7}));
    // A jump beyond the 10-bit delta: full.
    EXPECT_EQ(ids(c.encodeFrame({at(1, 100, 1000), at(4, 100, 4600)})), (std::vector<uint8_t>{0, 16, 7}));
    // A value change beyond 4 bits: full.
    EXPECT_EQ(ids(c.encodeFrame({at(1, 100, 1000, 50), at(4, 100, 4600, 60)})), (std::vector<uint8_t>{0, 16, 7}));
    // Nine new points: eight in one packet (14), then one (7).
    std::vector<FramePoint> nine;
    for (int i = 0; i < 9; ++i)
        nine.push_back(at(100 + i, 10, uint16_t(500 * i)));
    PointCompressor fresh;
    EXPECT_EQ(ids(fresh.encodeFrame(nine)), (std::vector<uint8_t>{0, 14, 7}));
    // The same nine moved: eight deltas (23), then one (16).
    for (auto& p : nine)
        p.point.x += 3;
    EXPECT_EQ(ids(fresh.encodeFrame(nine)), (std::vector<uint8_t>{0, 23, 16}));
}

// Random frames with blobs that persist, move, swap, vanish and appear: the host's reading of
// the stream must give back every frame exactly, in raster order.
TEST(PointCompression, HostRebuildsEveryFrame) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> step(-300, 300), coordinate(0, 65535), value(-3, 3), percent(0, 99);
    struct Live {
        int64_t identity;
        WirePoint point;
    };
    std::vector<Live> live;
    int64_t nextIdentity = 0;
    PointCompressor compressor;
    StreamDecoder::PointStream host;
    std::vector<int> seen(26, 0);
    for (int frame = 0; frame < 3000; ++frame) {
        for (auto& l : live) {
            l.point.x = uint16_t(std::clamp(l.point.x + step(random), 0, 65535));
            l.point.y = uint16_t(std::clamp(l.point.y + step(random), 0, 65535));
            l.point.value = uint8_t(std::clamp(l.point.value + value(random), 0, 255));
            if (percent(random) < 2)  // an occasional jump
                l.point.y = uint16_t(coordinate(random));
        }
        live.erase(std::remove_if(live.begin(), live.end(), [&](const Live&) { return percent(random) < 4; }),
                   live.end());
        while (live.size() < 12 && percent(random) < 40)
            live.push_back({nextIdentity++, WirePoint{uint16_t(coordinate(random)), uint16_t(coordinate(random)),
                                                      uint8_t(coordinate(random) % 256)}});
        std::vector<FramePoint> points;
        for (const auto& l : live)
            points.push_back({l.identity, l.point});
        for (const auto& packet : compressor.encodeFrame(points)) {
            ASSERT_TRUE(host.feed(packet.id, packet.payload)) << "frame " << frame << " packet " << int(packet.id);
            ++seen[packet.id];
        }
        std::vector<WirePoint> expected;
        for (const auto& p : compressor.previousFrame())
            expected.push_back(p.point);
        ASSERT_EQ(host.current.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(host.current[i].x, expected[i].x);
            EXPECT_EQ(host.current[i].y, expected[i].y);
            EXPECT_EQ(host.current[i].value, expected[i].value);
        }
        EXPECT_TRUE(std::is_sorted(expected.begin(), expected.end(), [](const WirePoint& a, const WirePoint& b) {
            return a.y != b.y ? a.y < b.y : a.x < b.x;
        }));
    }
    for (int id : {0, 7, 8, 9, 15, 16, 17, 18, 19, 24, 25})
        EXPECT_GT(seen[id], 0) << "packet id " << id;
}
