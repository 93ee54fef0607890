#include <gtest/gtest.h>

#include <random>

#include "ImageStreamBuilder.h"
#include "interface_contract/Marshal.h"
#include "tracking/runtime/device_tasks/ImageStreamDecoder.h"
#include "tracking/runtime/device_tasks/OrbImage.h"

using Kestrel::Orb::decodeImageStream;

namespace {

constexpr int W = 640, H = 480;

uint8_t at(const std::vector<uint8_t>& pixels, int column, int row) { return pixels[size_t(row) * W + column]; }

std::vector<uint8_t> row(const std::vector<uint8_t>& pixels, int r, int from, int count) {
    return {pixels.begin() + r * W + from, pixels.begin() + r * W + from + count};
}

std::string overflowMessage(const std::string& stream) {
    try {
        decodeImageStream(stream, W, H);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(decoded)";
}

} // namespace

TEST(ImageStream, OddRowsRunRightEvenRowsRunLeft) {
    ImageStreamBuilder b;
    b.segment({10, 11, 12}, 5, 3, 1);      // odd count: no padding
    b.segment({20, 21, 22, 23}, 640, 4, 2);  // even count: one padding byte
    auto pixels = decodeImageStream(b.stream(), W, H);
    EXPECT_EQ(row(pixels, 0, 3, 5), (std::vector<uint8_t>{0, 10, 11, 12, 0}));
    EXPECT_EQ(row(pixels, 1, 635, 5), (std::vector<uint8_t>{0, 23, 22, 21, 20}));
    size_t written = 0;
    for (uint8_t p : pixels)
        written += p != 0;
    EXPECT_EQ(7u, written);
}

// Decoding into a buffer that held another image leaves nothing of it: the result is the fresh
// decoding, of the new size.
TEST(ImageStream, AReusedBufferHoldsOnlyTheNewImage) {
    ImageStreamBuilder b;
    b.segment({10, 11, 12}, 5, 3, 1);
    std::vector<uint8_t> pixels(size_t(W) * H + 100, 0xAB);
    decodeImageStream(b.stream(), W, H, pixels);
    EXPECT_EQ(decodeImageStream(b.stream(), W, H), pixels);
    decodeImageStream(b.stream(), 17, 3, pixels);
    EXPECT_EQ(decodeImageStream(b.stream(), 17, 3), pixels);
    EXPECT_EQ(51u, pixels.size());
}

TEST(ImageStream, ShortSegmentIsFilledWithTheCheckerPattern) {
    // Row 3 first filled with 7s, then a segment of 2 data bytes and length 6 from column 1:
    // h = 1 | 6 << 10 | 3 << 20, h & 0xFF = 1; pixel i beyond the data is 255 when
    // ((i + 1) ^ 3) is odd: i = 2 -> 0, 3 -> 255, 4 -> 0, 5 -> 255.
    ImageStreamBuilder b;
    b.segment({7, 7, 7, 7, 7, 7, 7, 7}, 1, 8, 3);
    b.segment({40, 41}, 1, 6, 3);
    auto pixels = decodeImageStream(b.stream(), W, H);
    EXPECT_EQ(row(pixels, 2, 0, 8), (std::vector<uint8_t>{40, 41, 0, 255, 0, 255, 7, 7}));
}

TEST(ImageStream, CheckerPatternDependsOnTheHeaderByteAndTheRow) {
    // No data at all, length 4 on even row 4 from column 10 leftwards: h & 0xFF = 10,
    // ((i + 10) ^ 4): i = 0 -> 14 even, 1 -> 15 odd, 2 -> 8 even, 3 -> 9 odd.
    ImageStreamBuilder b;
    b.segment({}, 10, 4, 4);
    auto pixels = decodeImageStream(b.stream(), W, H);
    EXPECT_EQ(row(pixels, 3, 6, 4), (std::vector<uint8_t>{255, 0, 255, 0}));  // columns 7..10
}

TEST(ImageStream, LastRowIsAcceptedAndTheRowBeyondFails) {
    ImageStreamBuilder last;
    last.segment({99}, 640, 1, 480);
    auto pixels = decodeImageStream(last.stream(), W, H);
    EXPECT_EQ(99, at(pixels, 639, 479));

    ImageStreamBuilder beyond;
    beyond.segment({1}, 1, 1, 1).segment({5}, 1, 1, 481);
    EXPECT_EQ("Region Y coord overflow", overflowMessage(beyond.stream()));
    ImageStreamBuilder top;  // y has 9 bits: 511 is the largest
    top.segment({5}, 1, 1, 511);
    EXPECT_EQ("Region Y coord overflow", overflowMessage(top.stream()));
}

TEST(ImageStream, WritesOutsideTheImageAreDropped) {
    ImageStreamBuilder b;
    b.segment({1, 2, 3, 4}, 639, 4, 5);      // columns 639, 640 kept; 641, 642 dropped
    b.segment({5, 6, 7, 8}, 2, 4, 6);        // columns 2, 1 kept; 0, -1 dropped
    b.segment({9, 10}, 0, 2, 7);             // column 0 (1-based) dropped, 1 kept
    b.segment({11, 12}, 1, 1023, 9);         // data then checker up to the right edge only
    b.segment({13}, 1, 1, 0);                // row 0 does not exist
    auto pixels = decodeImageStream(b.stream(), W, H);
    EXPECT_EQ(row(pixels, 4, 636, 4), (std::vector<uint8_t>{0, 0, 1, 2}));
    EXPECT_EQ(row(pixels, 5, 0, 3), (std::vector<uint8_t>{6, 5, 0}));
    EXPECT_EQ(row(pixels, 6, 0, 2), (std::vector<uint8_t>{10, 0}));
    EXPECT_EQ(row(pixels, 8, 0, 2), (std::vector<uint8_t>{11, 12}));
    // h & 0xFF = 1 (1023 << 10 has no low byte); column 640 is i = 639: (640 ^ 9) is odd.
    EXPECT_EQ(255, at(pixels, 639, 8));
    // Nothing spilled into the next row.
    EXPECT_EQ(row(pixels, 9, 0, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(ImageStream, AStreamEndingInsideAHeaderStopsThere) {
    ImageStreamBuilder b;
    b.segment({50}, 1, 1, 1);
    b.raw(std::string("\x33\x00\x01\x04\x00", 5));  // data 0x33, zero, then only 3 header bytes
    auto pixels = decodeImageStream(b.stream(), W, H);
    EXPECT_EQ(50, at(pixels, 0, 0));
    EXPECT_TRUE(decodeImageStream("", W, H) == std::vector<uint8_t>(size_t(W) * H, 0));
    EXPECT_TRUE(decodeImageStream("\x05\x06", W, H) == std::vector<uint8_t>(size_t(W) * H, 0));
}

TEST(ImageStream, OrbImageAnswersItsGeometryAndPixels) {
    ImageStreamBuilder b;
    b.segment({200}, 2, 1, 2);
    auto image = Kestrel::Orb::OrbImage::fromStream(b.stream(), 0, 0, 640, 480);
    uint16_t x = 9, y = 9, w = 0, h = 0;
    ASSERT_EQ(0u, image->getX(&x));
    ASSERT_EQ(0u, image->getY(&y));
    ASSERT_EQ(0u, image->getWidth(&w));
    ASSERT_EQ(0u, image->getHeight(&h));
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(640, w);
    EXPECT_EQ(480, h);
    std::vector<uint8_t> data;
    auto out = Kestrel::InterfaceContract::outArray(data);
    ASSERT_EQ(0u, image->getData(&out));
    ASSERT_EQ(640u * 480u, data.size());
    EXPECT_EQ(200, data[640 + 1]);
    EXPECT_EQ(Kestrel::InterfaceContract::E_INVALIDARG_CODE, image->getWidth(nullptr));
}

TEST(ImageStream, RandomBytesNeverWriteOutsideTheImage) {
    // Fixed seed; mostly non-zero bytes so that segments are long, with headers of any value.
    // Under the address sanitizer any write outside the pixels would stop the test.
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 3000);
    int decoded = 0, overflowed = 0;
    for (int run = 0; run < 3000; ++run) {
        std::string stream(size_t(length(random)), '\0');
        for (char& c : stream)
            c = char(byte(random) < 24 ? 0 : byte(random));
        try {
            auto pixels = decodeImageStream(stream, W, H);
            ASSERT_EQ(size_t(W) * H, pixels.size());
            ++decoded;
        } catch (const std::runtime_error& e) {
            ASSERT_STREQ("Region Y coord overflow", e.what());
            ++overflowed;
        }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(overflowed, 0);
}
