#pragma once
// Device side of the debug task's camera image stream.
//
// The image goes out row by row, one segment per row, rows read out in alternating directions:
// odd rows (1-based) left to right starting at column 1, even rows right to left starting at
// column 640. A segment is its data bytes (never 0: a zero ends the data), one zero byte, one
// padding byte when the data count is even, then a 4-byte little-endian header
//     h = x | (length << 10) | (y << 20)     (x, y 1-based; length in pixels).
// The stream travels in packets of 63 bytes (id 8) and a final packet (id 9) that carries one
// length byte and the last 0..63 bytes and completes the image.

#include <cstdint>
#include <string>
#include <vector>

#include "device_simulator/scene/PointCompressor.h"

namespace Kestrel::DeviceSimulator {

constexpr int imageWidth = 640;
constexpr int imageHeight = 480;

// `pixels`: imageWidth * imageHeight grey values, row-major; 0 is sent as 1.
std::string encodeImageStream(const std::vector<uint8_t>& pixels);

std::vector<EncodedPacket> imageStreamPackets(const std::string& stream);

} // namespace Kestrel::DeviceSimulator
