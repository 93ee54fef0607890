#include "device_simulator/scene/WirePoint.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Kestrel::DeviceSimulator {

int32_t decodeBlobValue(uint8_t code) {
    uint32_t e = code >> 5, m = code & 31u;
    uint32_t value = ((m << e) + 32u * ((1u << e) - 1u)) & 0xFFFFu;
    return int32_t(value * 4u);
}

uint8_t encodeBlobValue(double value) {
    static const std::array<int32_t, 256> table = [] {
        std::array<int32_t, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[c] = decodeBlobValue(uint8_t(c));
        return t;
    }();
    if (!(value > 0))
        return 0;
    auto upper = std::lower_bound(table.begin(), table.end(), value);
    if (upper == table.end())
        return 255;
    if (upper == table.begin())
        return 0;
    auto lower = upper - 1;
    return uint8_t((value - *lower <= *upper - value) ? lower - table.begin() : upper - table.begin());
}

namespace {
uint16_t wire(double pixel, double size) {
    double fraction = (pixel - 1.0) / size * 65535.0;
    return uint16_t(std::clamp(std::round(fraction), 0.0, 65535.0));
}
} // namespace

uint16_t wireX(double pixel) { return wire(pixel, sensorWidth); }
uint16_t wireY(double pixel) { return wire(pixel, sensorHeight); }
double pixelX(uint16_t x16) { return x16 / 65535.0 * sensorWidth + 1.0; }
double pixelY(uint16_t y16) { return y16 / 65535.0 * sensorHeight + 1.0; }

} // namespace Kestrel::DeviceSimulator
