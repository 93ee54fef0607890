#include "interface_contract/Base64.h"

#include <stdexcept>

namespace Kestrel::Codec {

namespace {
constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
    if (c == '-')
        c = '+';
    else if (c == '_')
        c = '/';
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    throw std::runtime_error("Wrong base64 string");
}
} // namespace

std::string decodeBase64(std::string_view input) {
    std::string text(input);
    if (text.size() % 4 != 0)
        text.append(text.size() % 4, '=');
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t group = 0; group + 4 <= text.size(); group += 4) {
        int values[4] = {0, 0, 0, 0};
        int n = 0;
        while (n < 4 && text[group + n] != '=') {
            values[n] = sextet(text[group + n]);
            ++n;
        }
        uint32_t bits = uint32_t(values[0]) << 18 | uint32_t(values[1]) << 12 | uint32_t(values[2]) << 6 |
                        uint32_t(values[3]);
        const char bytes[3] = {char(bits >> 16), char(bits >> 8), char(bits)};
        if (n >= 2)
            out.append(bytes, std::size_t(n - 1));
    }
    return out;
}

std::string encodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t bits = uint32_t(uint8_t(bytes[i])) << 16;
        if (n > 1)
            bits |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (n > 2)
            bits |= uint32_t(uint8_t(bytes[i + 2]));
        out.push_back(alphabet[(bits >> 18) & 63]);
        out.push_back(alphabet[(bits >> 12) & 63]);
        out.push_back(n > 1 ? alphabet[(bits >> 6) & 63] : '=');
        out.push_back(n > 2 ? alphabet[bits & 63] : '=');
    }
    return out;
}

} // namespace Kestrel::Codec
