#pragma once
// Takes typed values off the front of a fuzzer's input; past the end every value reads as zero
// and every byte string as empty, so a target never has to check lengths itself.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - offset_; }
    bool empty() const { return offset_ == size_; }

    uint8_t byte() { return empty() ? 0 : data_[offset_++]; }
    uint8_t peek() const { return empty() ? 0 : data_[offset_]; }
    uint16_t u16() { return uint16_t(byte() | byte() << 8); }
    float f32() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits |= uint32_t(byte()) << (8 * i);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Up to `count` bytes.
    std::string_view bytes(size_t count) {
        count = std::min(count, remaining());
        std::string_view out(reinterpret_cast<const char*>(data_ + offset_), count);
        offset_ += count;
        return out;
    }
    std::string_view rest() { return bytes(remaining()); }
    // A 16-bit little-endian length, then that many bytes (fewer when the input ends).
    std::string_view block() { return bytes(u16()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

// The writer's side, for the seed generator: the framing FuzzInput reads.
inline void appendU16(std::string& out, uint16_t value) {
    out.push_back(char(value & 0xFF));
    out.push_back(char(value >> 8));
}
inline void appendBlock(std::string& out, std::string_view bytes) {
    appendU16(out, uint16_t(bytes.size()));
    out.append(bytes);
}
inline void appendF32(std::string& out, float value) {
    char bytes[4];
    std::memcpy(bytes, &value, 4);
    out.append(bytes, 4);
}
