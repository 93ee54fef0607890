#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "StreamDecoder.h"
#include "device_simulator/scene/DebugView.h"
#include "device_simulator/scene/ImageStream.h"
#include "device_simulator/scene/WirePoint.h"

using namespace Kestrel::DeviceSimulator;

TEST(BlobValueCode, DecodesTheLogLikeCode) {
    EXPECT_EQ(decodeBlobValue(0), 0);
    EXPECT_EQ(decodeBlobValue(31), 124);
    EXPECT_EQ(decodeBlobValue(32), 128);
    EXPECT_EQ(decodeBlobValue(33), 136);
    EXPECT_EQ(decodeBlobValue(255), 32128);
}

TEST(BlobValueCode, EncodesToTheNearestCode) {
    EXPECT_EQ(encodeBlobValue(124), 31);
    EXPECT_EQ(encodeBlobValue(126), 31);  // halfway between 124 and 128: the lower code
    EXPECT_EQ(encodeBlobValue(127), 32);
    EXPECT_EQ(encodeBlobValue(-5), 0);
    EXPECT_EQ(encodeBlobValue(1e9), 255);
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(encodeBlobValue(decodeBlobValue(uint8_t(code))), code);
}

TEST(WireCoordinates, MapTheSensorOntoSixteenBits) {
    EXPECT_EQ(wireX(1.0), 0);
    EXPECT_EQ(wireX(641.0), 65535);
    EXPECT_EQ(wireX(321.0), 32768);  // 32767.5 rounds away from zero
    EXPECT_EQ(wireY(481.0), 65535);
    EXPECT_EQ(wireX(-20.0), 0);
    EXPECT_EQ(wireY(900.0), 65535);
    for (double p = 1.0; p < 641.0; p += 0.37)
        EXPECT_NEAR(pixelX(wireX(p)), p, 0.5 * 640.0 / 65535.0 + 1e-9);
}

namespace {
std::vector<uint8_t> testImage() {
    std::vector<uint8_t> pixels(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            pixels[size_t(y) * 640 + x] = uint8_t((x * 7 + y * 13) % 256);
    return pixels;
}
} // namespace

TEST(ImageStream, RowsAlternateAndHeadersFollowTheData) {
    std::string s = encodeImageStream(testImage());
    ASSERT_EQ(s.size(), 480u * 646u);  // 640 data bytes, zero, padding, 4-byte header per row
    // Row 1 left to right: pixel (0,0) is 0 and goes out as 1; (1,0) is 7.
    EXPECT_EQ(uint8_t(s[0]), 1);
    EXPECT_EQ(uint8_t(s[1]), 7);
    EXPECT_EQ(s[640], '\0');
    EXPECT_EQ(s[641], '\0');
    // h = 1 | 640 << 10 | 1 << 20 = 0x1A0001.
    EXPECT_EQ(s.substr(642, 4), std::string("\x01\x00\x1A\x00", 4));
    // Row 2 right to left from column 640: first byte is pixel (639, 1) = (639*7 + 13) % 256.
    EXPECT_EQ(uint8_t(s[646]), (639 * 7 + 13) % 256);
    // h = 640 | 640 << 10 | 2 << 20 = 0x2A0280.
    EXPECT_EQ(s.substr(646 + 642, 4), std::string("\x80\x02\x2A\x00", 4));
    for (char c : s.substr(0, 640))
        EXPECT_NE(c, '\0');
}

TEST(ImageStream, DecodesToThePixelsWithZeroRaisedToOne) {
    std::vector<uint8_t> pixels = testImage();
    std::vector<uint8_t> decoded = StreamDecoder::decodeImage(encodeImageStream(pixels));
    for (auto& p : pixels)
        p = std::max<uint8_t>(p, 1);
    EXPECT_EQ(decoded, pixels);
}

TEST(ImageStream, TravelsInPacketsOf63AndAFinalOne) {
    std::string s = encodeImageStream(testImage());
    auto packets = imageStreamPackets(s);
    ASSERT_EQ(packets.size(), 4922u);  // 310080 = 4921 * 63 + 57
    std::string joined;
    for (size_t i = 0; i + 1 < packets.size(); ++i) {
        EXPECT_EQ(packets[i].id, 8);
        ASSERT_EQ(packets[i].payload.size(), 63u);
        joined += packets[i].payload;
    }
    EXPECT_EQ(packets.back().id, 9);
    EXPECT_EQ(uint8_t(packets.back().payload[0]), 57);
    joined += packets.back().payload.substr(1);
    EXPECT_EQ(joined, s);
    // A stream that fills its packets exactly still ends with id 9.
    auto exact = imageStreamPackets(std::string(126, 'a'));
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[1].id, 9);
    EXPECT_EQ(uint8_t(exact[1].payload[0]), 63);
    EXPECT_THROW(encodeImageStream(std::vector<uint8_t>(10)), std::invalid_argument);
}

// Debug image and point list agree: a point at (x, y) is the centre of the pixel numbered x, y
// from 1 (0-based column x - 1, row y - 1), where the Image viewer's circles sit. Values worked
// out by hand for a spot of peak 200, sigma 1.2 at (100.3, 200.7): pixel (c, r) takes
// 200 exp(-((c - 99.3)^2 + (r - 199.7)^2) / 2.88).
TEST(DebugImage, TheSpotIsCentredOnItsPointCoordinates) {
    std::vector<float> image(size_t(imageWidth) * imageHeight, 0.0f);
    Blob blob;
    blob.pixel.x = 100.3;
    blob.pixel.y = 200.7;
    blob.peak = 200;
    blob.sigma = 1.2;
    addBlobSpot(image, blob);
    auto at = [&](int c, int r) { return image[size_t(r) * imageWidth + c]; };
    EXPECT_NEAR(163.518883, at(99, 199), 1e-3);
    EXPECT_NEAR(187.882613, at(99, 200), 1e-3);
    EXPECT_NEAR(163.518883, at(100, 200), 1e-3);
    EXPECT_NEAR(93.819519, at(98, 199), 1e-3);
    // The brightness-weighted centre, each pixel at its centre's coordinate (c + 1, r + 1), is
    // the point itself (100.299978, 200.699896 with the spot cut off 5 pixels out).
    double sum = 0, sx = 0, sy = 0;
    for (int r = 0; r < imageHeight; ++r)
        for (int c = 0; c < imageWidth; ++c) {
            sum += at(c, r);
            sx += at(c, r) * (c + 1);
            sy += at(c, r) * (r + 1);
        }
    EXPECT_NEAR(100.3, sx / sum, 1e-3);
    EXPECT_NEAR(200.7, sy / sum, 1e-3);

    // A spot half outside the image keeps to it: pixel (0, 479) is 0.8 and 0.9 pixels from it.
    Blob corner = blob;
    corner.pixel.x = 0.2;
    corner.pixel.y = 480.9;
    addBlobSpot(image, corner);
    EXPECT_NEAR(120.885661, at(0, 479), 1e-3);
}
