#pragma once
// An 8-bit grey image as a PNG file, without an image library. The pixels are compressed as
// one deflate block with the fixed Huffman codes, runs of equal bytes as matches at distance 1:
// camera images are mostly black, so that alone makes them small.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace OrbTool {

namespace GreyPngDetail {

// Bits into bytes, least significant bit first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            pending_ |= ((value >> i) & 1u) << filled_;
            if (++filled_ == 8)
                flush();
        }
    }
    // A Huffman code goes most significant bit first.
    void code(uint32_t value, int length) {
        for (int i = length - 1; i >= 0; --i)
            bits((value >> i) & 1u, 1);
    }
    void flush() {
        if (filled_ > 0)
            out_ += char(pending_);
        pending_ = 0;
        filled_ = 0;
    }

private:
    std::string& out_;
    uint32_t pending_ = 0;
    int filled_ = 0;
};

// Fixed literal/length codes: 0..143 in 8 bits from 0x30, 144..255 in 9 bits from 0x190,
// 256..279 in 7 bits from 0, 280..287 in 8 bits from 0xC0.
inline void fixedSymbol(BitWriter& w, unsigned symbol) {
    if (symbol < 144)
        w.code(0x30 + symbol, 8);
    else if (symbol < 256)
        w.code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        w.code(symbol - 256, 7);
    else
        w.code(0xC0 + symbol - 280, 8);
}

// A match of `length` (3..258) bytes at distance 1.
inline void repeatPrevious(BitWriter& w, unsigned length) {
    static const unsigned base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    unsigned index = 28;
    while (base[index] > length)
        --index;
    fixedSymbol(w, 257 + index);
    w.bits(length - base[index], extra[index]);
    w.code(0, 5);  // distance code 0: distance 1
}

inline std::string zlibStream(const std::string& data) {
    std::string out("\x78\x01", 2);  // deflate, 32 KiB window, no dictionary; 0x7801 % 31 == 0
    BitWriter w(out);
    w.bits(1, 1);  // the last block
    w.bits(1, 2);  // fixed Huffman codes
    for (size_t i = 0; i < data.size();) {
        size_t run = 0;
        if (i > 0)
            while (run < 258 && i + run < data.size() && data[i + run] == data[i - 1])
                ++run;
        if (run >= 3) {
            repeatPrevious(w, unsigned(run));
            i += run;
        } else {
            fixedSymbol(w, static_cast<unsigned char>(data[i]));
            ++i;
        }
    }
    fixedSymbol(w, 256);  // end of block
    w.flush();
    uint32_t a = 1, b = 0;  // Adler-32 of the uncompressed data
    for (char c : data) {
        a = (a + static_cast<unsigned char>(c)) % 65521;
        b = (b + a) % 65521;
    }
    const uint32_t adler = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(adler >> shift);
    return out;
}

inline uint32_t crc32(const std::string& bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (char byte : bytes)
        c = table[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

inline void appendBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(value >> shift);
}

inline void appendChunk(std::string& out, const char* type, const std::string& data) {
    appendBigEndian(out, uint32_t(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    appendBigEndian(out, crc32(typed));
}

} // namespace GreyPngDetail

// The PNG file of a width x height image, one byte per pixel, rows top down. Throws
// std::invalid_argument when the pixels are not width x height bytes.
inline std::string greyPng(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height) {
    using namespace GreyPngDetail;
    if (pixels.size() != size_t(width) * height)
        throw std::invalid_argument("an image of " + std::to_string(width) + " x " + std::to_string(height) +
                                    " pixels came with " + std::to_string(pixels.size()) + " bytes");
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8 bits, grey, deflate, filters, no interlace
    std::string rows;
    rows.reserve(size_t(width + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        rows += '\0';  // filter: none
        rows.append(reinterpret_cast<const char*>(pixels.data()) + size_t(y) * width, width);
    }
    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlibStream(rows));
    appendChunk(png, "IEND", "");
    return png;
}

} // namespace OrbTool
