#include "device_simulator/scene/ImageStream.h"

#include <algorithm>
#include <stdexcept>

namespace Kestrel::DeviceSimulator {

std::string encodeImageStream(const std::vector<uint8_t>& pixels) {
    if (pixels.size() != size_t(imageWidth) * imageHeight)
        throw std::invalid_argument("encodeImageStream: expected 640 x 480 pixels, got " +
                                    std::to_string(pixels.size()));
    std::string stream;
    stream.reserve(size_t(imageHeight) * (imageWidth + 6));
    for (int y = 1; y <= imageHeight; ++y) {
        const uint8_t* row = pixels.data() + size_t(y - 1) * imageWidth;
        bool forward = y % 2 == 1;
        for (int i = 0; i < imageWidth; ++i) {
            uint8_t value = forward ? row[i] : row[imageWidth - 1 - i];
            stream.push_back(char(std::max<uint8_t>(value, 1)));
        }
        stream.push_back('\0');
        if (imageWidth % 2 == 0)
            stream.push_back('\0');
        uint32_t x = forward ? 1u : uint32_t(imageWidth);
        uint32_t header = x | (uint32_t(imageWidth) << 10) | (uint32_t(y) << 20);
        for (int b = 0; b < 4; ++b)
            stream.push_back(char((header >> (8 * b)) & 0xFF));
    }
    return stream;
}

std::vector<EncodedPacket> imageStreamPackets(const std::string& stream) {
    std::vector<EncodedPacket> packets;
    size_t offset = 0;
    while (stream.size() - offset > 63) {
        packets.push_back({8, stream.substr(offset, 63)});
        offset += 63;
    }
    std::string last = stream.substr(offset);
    packets.push_back({9, std::string(1, char(last.size())) + last});
    return packets;
}

} // namespace Kestrel::DeviceSimulator
