#include "tracking/runtime/device_tasks/ImageStreamDecoder.h"

#include <stdexcept>

namespace Kestrel::Orb {

std::vector<uint8_t> decodeImageStream(std::string_view stream, int width, int height) {
    std::vector<uint8_t> pixels;
    decodeImageStream(stream, width, height, pixels);
    return pixels;
}

void decodeImageStream(std::string_view stream, int width, int height, std::vector<uint8_t>& pixels) {
    pixels.assign(size_t(width) * size_t(height), 0);
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
    const size_t size = stream.size();
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && bytes[end] != 0)
            ++end;
        const size_t dataCount = end - start;
        // Data, the zero, and padding to an even distance from the segment start.
        const size_t headerAt = end + 1 + (dataCount % 2 == 0 ? 1 : 0);
        if (end == size || headerAt + 4 > size)
            break;
        const uint32_t h = uint32_t(bytes[headerAt]) | uint32_t(bytes[headerAt + 1]) << 8 |
                           uint32_t(bytes[headerAt + 2]) << 16 | uint32_t(bytes[headerAt + 3]) << 24;
        const int x = int(h & 0x3FF);
        const int length = int(h >> 10 & 0x3FF);
        const int y = int(h >> 20 & 0x1FF);
        if (y > height)
            throw std::runtime_error("Region Y coord overflow");
        const bool forward = y % 2 == 1;
        const int row = y - 1;
        for (int i = 0; i < length && row >= 0; ++i) {
            const int column = forward ? x - 1 + i : x - 1 - i;
            if (column < 0 || column >= width)
                continue;
            uint8_t value;
            if (size_t(i) < dataCount)
                value = bytes[start + size_t(i)];
            else
                value = ((uint32_t(i) + (h & 0xFF)) ^ uint32_t(y)) & 1 ? 255 : 0;
            pixels[size_t(row) * size_t(width) + size_t(column)] = value;
        }
        start = headerAt + 4;
    }
}

} // namespace Kestrel::Orb
