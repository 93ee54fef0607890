#pragma once
// Unsigned LEB128 (7 bits per byte, least significant group first, high bit on every byte but
// the last) and a bounds-checked reader of the small binary records built from it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Kestrel::Codec {

void appendVarint(std::string& out, uint64_t value);
void appendString(std::string& out, std::string_view bytes);  // varint length, then the bytes
void appendFloat(std::string& out, float value);              // 4 bytes, little-endian IEEE
void appendDouble(std::string& out, double value);            // 8 bytes, little-endian IEEE

// Reads fields in order; every read past the end throws std::runtime_error naming the field
// and the byte offset, so a record that ends early can never be read beyond its buffer.
class RecordReader {
public:
    explicit RecordReader(std::string_view bytes) : bytes_(bytes) {}

    uint64_t varint(const char* field);
    std::string string(const char* field);
    float float32(const char* field);
    double float64(const char* field);
    uint8_t byte(const char* field);

    std::size_t offset() const { return offset_; }
    std::size_t remaining() const { return bytes_.size() - offset_; }
    bool atEnd() const { return offset_ == bytes_.size(); }

private:
    [[noreturn]] void fail(const char* field) const;
    std::string_view bytes_;
    std::size_t offset_ = 0;
};

} // namespace Kestrel::Codec
