#include "interface_contract/Varint.h"

#include <cstring>
#include <stdexcept>

namespace Kestrel::Codec {

void appendVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(char(uint8_t(value) | 0x80));
        value >>= 7;
    }
    out.push_back(char(uint8_t(value)));
}

void appendString(std::string& out, std::string_view bytes) {
    appendVarint(out, bytes.size());
    out.append(bytes);
}

namespace {
template <class T, class Bits>
void appendLittleEndian(std::string& out, T value) {
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < sizeof bits; ++i)
        out.push_back(char(uint8_t(bits >> (8 * i))));
}
template <class T, class Bits>
T readLittleEndian(const char* data) {
    Bits bits = 0;
    for (std::size_t i = 0; i < sizeof bits; ++i)
        bits |= Bits(uint8_t(data[i])) << (8 * i);
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
} // namespace

void appendFloat(std::string& out, float value) { appendLittleEndian<float, uint32_t>(out, value); }
void appendDouble(std::string& out, double value) { appendLittleEndian<double, uint64_t>(out, value); }

void RecordReader::fail(const char* field) const {
    throw std::runtime_error("record ends early: field '" + std::string(field) + "' at byte " +
                             std::to_string(offset_) + " of " + std::to_string(bytes_.size()));
}

uint64_t RecordReader::varint(const char* field) {
    uint64_t value = 0;
    std::size_t at = offset_;
    for (int shift = 0;; shift += 7) {
        if (at >= bytes_.size())
            fail(field);
        uint8_t b = uint8_t(bytes_[at++]);
        // The tenth byte holds bit 63 only: anything more (a higher bit, or an eleventh byte)
        // does not fit 64 bits and would otherwise be shifted out silently.
        if (shift == 63 && b > 1)
            throw std::runtime_error("varint too long: field '" + std::string(field) + "' at byte " +
                                     std::to_string(offset_));
        value |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            break;
    }
    offset_ = at;
    return value;
}

std::string RecordReader::string(const char* field) {
    std::size_t start = offset_;
    uint64_t size = varint(field);
    if (size > remaining()) {
        offset_ = start;
        fail(field);
    }
    std::string out(bytes_.substr(offset_, std::size_t(size)));
    offset_ += std::size_t(size);
    return out;
}

float RecordReader::float32(const char* field) {
    if (remaining() < 4)
        fail(field);
    float value = readLittleEndian<float, uint32_t>(bytes_.data() + offset_);
    offset_ += 4;
    return value;
}

double RecordReader::float64(const char* field) {
    if (remaining() < 8)
        fail(field);
    double value = readLittleEndian<double, uint64_t>(bytes_.data() + offset_);
    offset_ += 8;
    return value;
}

uint8_t RecordReader::byte(const char* field) {
    if (remaining() < 1)
        fail(field);
    return uint8_t(bytes_[offset_++]);
}

} // namespace Kestrel::Codec
