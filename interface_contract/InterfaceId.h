#pragma once
// 128-bit interface identifier with the layout of a Windows GUID: one 32-bit field, two 16-bit
// fields and eight single bytes, the integers stored in the machine's (little-endian) order.

#include <cstdint>
#include <string>

namespace Kestrel::InterfaceContract {

struct InterfaceId {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(InterfaceId) == 16, "InterfaceId must be 16 bytes");

constexpr bool operator==(const InterfaceId& a, const InterfaceId& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i])
            return false;
    return true;
}
constexpr bool operator!=(const InterfaceId& a, const InterfaceId& b) { return !(a == b); }

namespace Detail {
constexpr uint32_t hexDigit(char c) {
    return c >= '0' && c <= '9'   ? uint32_t(c - '0')
           : c >= 'A' && c <= 'F' ? uint32_t(c - 'A' + 10)
           : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10)
                                  : throw "InterfaceId: bad hex digit";
}
constexpr uint32_t hexField(const char* text, int first, int digits) {
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i)
        value = (value << 4) | hexDigit(text[first + i]);
    return value;
}
} // namespace Detail

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" at compile time.
constexpr InterfaceId makeInterfaceId(const char (&text)[37]) {
    using Detail::hexField;
    return InterfaceId{hexField(text, 0, 8),
                       uint16_t(hexField(text, 9, 4)),
                       uint16_t(hexField(text, 14, 4)),
                       {uint8_t(hexField(text, 19, 2)), uint8_t(hexField(text, 21, 2)),
                        uint8_t(hexField(text, 24, 2)), uint8_t(hexField(text, 26, 2)),
                        uint8_t(hexField(text, 28, 2)), uint8_t(hexField(text, 30, 2)),
                        uint8_t(hexField(text, 32, 2)), uint8_t(hexField(text, 34, 2))}};
}

// Canonical upper-case text of an identifier, for log lines and tests.
std::string toString(const InterfaceId& id);

} // namespace Kestrel::InterfaceContract
