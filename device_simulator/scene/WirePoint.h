#pragma once
// The 5-byte point of the tracking stream and the blob value code it carries.
//
// Position: x16 = fraction of the sensor width in 0..65535, y16 likewise of the height; the host
// reads them as pixels x = x16 / 65535 * 640 + 1, y = y16 / 65535 * 480 + 1.
// Value code v (5 mantissa bits, value scale 4): e = v >> 5, m = v & 31,
//     value = (((m << e) + 32 * (2^e - 1)) mod 2^16) * 4,
// so codes 0..31 give 0..124 and every further group of 32 codes doubles the step (255: 32128).

#include <cstdint>

namespace Kestrel::DeviceSimulator {

struct WirePoint {
    uint16_t x = 0;
    uint16_t y = 0;
    uint8_t value = 0;
};

constexpr double sensorWidth = 640.0;
constexpr double sensorHeight = 480.0;

// Decoded blob value of a code byte.
int32_t decodeBlobValue(uint8_t code);
// The code whose decoded value is nearest to `value` (ties to the lower code).
uint8_t encodeBlobValue(double value);

// Wire coordinates of a pixel position; positions outside the sensor are clamped.
uint16_t wireX(double pixelX);
uint16_t wireY(double pixelY);
// The host's reading of wire coordinates.
double pixelX(uint16_t x16);
double pixelY(uint16_t y16);

} // namespace Kestrel::DeviceSimulator
