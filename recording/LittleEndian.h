#pragma once
// Little-endian encoding of the recording's fixed-size fields, independent of the machine's
// byte order.

#include <cstdint>
#include <string>

namespace Kestrel::Recording::LittleEndian {

void appendU32(std::string& out, uint32_t value);
void appendU64(std::string& out, uint64_t value);
void appendF64(std::string& out, double value);

// Read from `bytes`, which must hold at least 4 or 8 bytes.
uint32_t readU32(const unsigned char* bytes);
uint64_t readU64(const unsigned char* bytes);
double readF64(const unsigned char* bytes);

} // namespace Kestrel::Recording::LittleEndian
