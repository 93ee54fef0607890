#include "recording/LittleEndian.h"

#include <cstring>

namespace Kestrel::Recording::LittleEndian {

void appendU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

void appendU64(std::string& out, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

void appendF64(std::string& out, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendU64(out, bits);
}

uint32_t readU32(const unsigned char* bytes) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

uint64_t readU64(const unsigned char* bytes) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

double readF64(const unsigned char* bytes) {
    const uint64_t bits = readU64(bytes);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace Kestrel::Recording::LittleEndian
