#pragma once
// Builds camera image streams segment by segment, independently of the decoder.
#include <cstdint>
#include <string>
#include <vector>

class ImageStreamBuilder {
public:
    // A segment with `data` (non-zero bytes) and a header of (x, length, y); the padding byte
    // follows the zero when the data count is even.
    ImageStreamBuilder& segment(const std::vector<uint8_t>& data, uint32_t x, uint32_t length, uint32_t y) {
        for (uint8_t b : data)
            stream_.push_back(char(b));
        stream_.push_back('\0');
        if (data.size() % 2 == 0)
            stream_.push_back('\0');
        uint32_t h = x | length << 10 | y << 20;
        for (int i = 0; i < 4; ++i)
            stream_.push_back(char(h >> (8 * i) & 0xFF));
        return *this;
    }
    ImageStreamBuilder& raw(const std::string& bytes) {
        stream_ += bytes;
        return *this;
    }
    const std::string& stream() const { return stream_; }

private:
    std::string stream_;
};
