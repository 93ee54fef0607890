// Where a replay of a tracking recording begins its frames: the first frame start whose frame
// holds no delta, found in hand-made sequences of packet ids.
#include <gtest/gtest.h>

#include "recording/ReplayStart.h"

namespace {

using namespace Kestrel::Recording;

// Device-to-host records with the given ids; an id above 255 stands for a host-to-device
// record of id - 256.
std::vector<Record> records(std::initializer_list<int> ids) {
    std::vector<Record> out;
    for (int id : ids)
        out.push_back({0.0, id > 255 ? Direction::HostToDevice : Direction::DeviceToHost, uint8_t(id & 0xFF), ""});
    return out;
}

TEST(ReplayStart, FirstFrameWithoutDeltas) {
    struct Case {
        const char* what;
        std::vector<Record> records;
        size_t expected;
    };
    const Case cases[] = {
        {"a recording from the task start", records({1, 2, 5, 0, 9, 7, 2, 5, 0, 17, 16}), 3},
        {"points before the first frame start", records({8, 2, 5, 0, 14, 0, 16}), 3},
        {"deltas before a key frame", records({16, 2, 0, 17, 24, 5, 0, 25, 0, 9, 2, 0, 18}), 8},
        {"id 15 carries a delta", records({0, 15, 0, 7}), 2},
        {"an empty frame refers to nothing", records({0, 16, 0, 0, 16}), 2},
        {"the last frame, ending with the file", records({0, 20, 0, 10}), 2},
        {"the last frame, holding a delta", records({0, 20, 0, 23}), 4},
        {"host packets do not start frames", records({0, 16, 256, 7, 265}), 5},
        {"no frame start at all", records({1, 2, 5, 7, 8}), 5},
        {"nothing", records({}), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstSelfContainedFrame(c.records), c.expected) << c.what;
}

TEST(ReplayStart, OpticalPacketsAreFrameStartsAndPoints) {
    for (int id = 0; id < 256; ++id)
        EXPECT_EQ(isOpticalPacket(uint8_t(id)), id == 0 || (id >= 7 && id <= 25)) << id;
}

} // namespace
