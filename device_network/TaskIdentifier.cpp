#include "device_network/TaskIdentifier.h"

#include <cstring>

namespace Kestrel::DeviceNetwork {

namespace {
void storeLittleEndian(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
}
uint32_t loadLittleEndian(const uint8_t* bytes) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(bytes[i]) << (8 * i);
    return value;
}
} // namespace

InterfaceContract::InterfaceId taskIdentifierFromParts(int32_t part0, int32_t part1, int32_t part2, int32_t part3) {
    uint8_t bytes[16];
    const int32_t parts[4] = {part0, part1, part2, part3};
    for (int i = 0; i < 4; ++i)
        storeLittleEndian(bytes + 4 * i, uint32_t(parts[i]));
    InterfaceContract::InterfaceId id{};
    id.data1 = loadLittleEndian(bytes);
    id.data2 = uint16_t(bytes[4] | bytes[5] << 8);
    id.data3 = uint16_t(bytes[6] | bytes[7] << 8);
    std::memcpy(id.data4, bytes + 8, 8);
    return id;
}

std::array<int32_t, 4> taskIdentifierParts(const InterfaceContract::InterfaceId& id) {
    uint8_t bytes[16];
    storeLittleEndian(bytes, id.data1);
    bytes[4] = uint8_t(id.data2);
    bytes[5] = uint8_t(id.data2 >> 8);
    bytes[6] = uint8_t(id.data3);
    bytes[7] = uint8_t(id.data3 >> 8);
    std::memcpy(bytes + 8, id.data4, 8);
    std::array<int32_t, 4> parts{};
    for (int i = 0; i < 4; ++i)
        parts[size_t(i)] = int32_t(loadLittleEndian(bytes + 4 * i));
    return parts;
}

} // namespace Kestrel::DeviceNetwork
