// orbtool image's PNG writer. The expected file was checked outside this code: Python's zlib
// inflated its IDAT to the filtered rows and matched every chunk's CRC. Where zlib is at hand,
// random images with runs of every match length are inflated by it and compared.

#include <gtest/gtest.h>

#include <random>

#include "tools/orbtool/GreyPng.h"

#ifdef ORB_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

} // namespace

TEST(GreyPng, SmallImageByteForByte) {
    // A run of 200 (a 9-bit literal, then a match of 4 at distance 1), then 0..4.
    const std::vector<uint8_t> pixels = {200, 200, 200, 200, 200, 0, 1, 2, 3, 4};
    EXPECT_EQ(OrbTool::greyPng(pixels, 5, 2),
              fromHex("89504e470d0a1a0a0000000d4948445200000005000000020800000000b5014981"
                      "00000011494441547801633801020c0c8c4ccc2c00234803f3f128b662"
                      "0000000049454e44ae426082"));
    EXPECT_THROW(OrbTool::greyPng(pixels, 5, 3), std::invalid_argument);
}

#ifdef ORB_HAVE_ZLIB
TEST(GreyPng, ZlibInflatesRandomRuns) {
    std::mt19937 random(5);
    const uint32_t width = 640, height = 480;
    std::vector<uint8_t> pixels;
    while (pixels.size() < size_t(width) * height) {
        const size_t run = std::uniform_int_distribution<size_t>(1, 600)(random);
        pixels.insert(pixels.end(), run, uint8_t(random() % 4 == 0 ? random() : 0));
    }
    pixels.resize(size_t(width) * height);
    const std::string png = OrbTool::greyPng(pixels, width, height);
    // Signature, IHDR (8 + 13 + 4 bytes), then the IDAT chunk's length and type.
    const size_t idat = 8 + 25;
    ASSERT_EQ(png.substr(idat + 4, 4), "IDAT");
    const uint32_t length = uint32_t(uint8_t(png[idat])) << 24 | uint32_t(uint8_t(png[idat + 1])) << 16 |
                            uint32_t(uint8_t(png[idat + 2])) << 8 | uint8_t(png[idat + 3]);
    const std::string stream = png.substr(idat + 8, length);
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(png.data() + idat + 4), length + 4),
              uint32_t(uint8_t(png[idat + 8 + length])) << 24 | uint32_t(uint8_t(png[idat + 9 + length])) << 16 |
                  uint32_t(uint8_t(png[idat + 10 + length])) << 8 | uint8_t(png[idat + 11 + length]));
    std::vector<uint8_t> rows(size_t(width + 1) * height + 1);
    uLongf size = uLongf(rows.size());
    ASSERT_EQ(uncompress(rows.data(), &size, reinterpret_cast<const Bytef*>(stream.data()), uLong(stream.size())), Z_OK);
    ASSERT_EQ(size, uLongf(size_t(width + 1) * height));
    for (uint32_t y = 0; y < height; ++y) {
        ASSERT_EQ(rows[size_t(y) * (width + 1)], 0) << y;
        ASSERT_TRUE(std::equal(pixels.begin() + long(y * width), pixels.begin() + long((y + 1) * width),
                               rows.begin() + long(y * (width + 1) + 1)))
            << "row " << y;
    }
    EXPECT_LT(png.size(), pixels.size() / 20);  // runs are what camera images are made of
}
#endif
