#pragma once
// Small JSON pieces for the commands that print decoded records.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace OrbTool {

// A stored float as the shortest decimal that reads back as the same float.
inline std::string jsonFloat(float value) {
    if (!std::isfinite(value))
        return "null";
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value)
            break;
    }
    return text;
}

// A computed value (a marker position, a rotation) to 7 significant digits, the precision of
// a float: it shows -0.2 for a middle marker at -0.5 + 0.3, not the float's last bit.
inline std::string jsonComputed(float value) {
    if (!std::isfinite(value))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(value));
    return text;
}

// A string from a code, which may hold any bytes: quotes, backslashes, control and non-ASCII
// bytes are escaped (bytes above 0x7E as \u00XX, i.e. read as Latin-1).
inline std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace OrbTool
