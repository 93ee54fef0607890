#pragma once
// Task identifiers as QML passes them: four signed 32-bit parts, each stored little-endian in
// that order, so part 0 is the first field, part 1 holds the second (low 16 bits) and third
// (high 16 bits) fields, and parts 2 and 3 are the last eight bytes in order.

#include <array>
#include <cstdint>

#include "interface_contract/InterfaceId.h"

namespace Kestrel::DeviceNetwork {

InterfaceContract::InterfaceId taskIdentifierFromParts(int32_t part0, int32_t part1, int32_t part2, int32_t part3);

// The inverse, as the viewers publish their identifiers in their `constants`.
std::array<int32_t, 4> taskIdentifierParts(const InterfaceContract::InterfaceId& id);

} // namespace Kestrel::DeviceNetwork
