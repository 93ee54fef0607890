#include "tracking/runtime/device_tasks/OrbImage.h"

#include <stdexcept>
#include <string>

#include "interface_contract/Marshal.h"
#include "tracking/runtime/device_tasks/ImageStreamDecoder.h"

namespace Kestrel::Orb {

using InterfaceContract::guard;

namespace {

ResultCode answer(uint16_t* out, uint16_t value) {
    return guard([&] {
        if (!out)
            throw std::invalid_argument("IImage: null result");
        *out = value;
    });
}

} // namespace

OrbImage::OrbImage(uint16_t x, uint16_t y, uint16_t width, uint16_t height, std::vector<uint8_t> pixels)
    : x_(x), y_(y), width_(width), height_(height), pixels_(std::move(pixels)) {
    if (pixels_.size() != size_t(width) * height)
        throw std::invalid_argument("OrbImage: " + std::to_string(pixels_.size()) + " pixels for " +
                                    std::to_string(width) + " x " + std::to_string(height));
}

InterfaceContract::Ref<IImage> OrbImage::fromStream(std::string_view stream, uint16_t x, uint16_t y, uint16_t width,
                                                    uint16_t height) {
    return InterfaceContract::makeInterfaced<OrbImage, IImage>(x, y, width, height,
                                                               decodeImageStream(stream, width, height));
}

ResultCode OrbImage::getData(OutArray* pixels) {
    return guard([&] { InterfaceContract::writeOut(pixels, pixels_); });
}
ResultCode OrbImage::getX(uint16_t* x) { return answer(x, x_); }
ResultCode OrbImage::getY(uint16_t* y) { return answer(y, y_); }
ResultCode OrbImage::getWidth(uint16_t* width) { return answer(width, width_); }
ResultCode OrbImage::getHeight(uint16_t* height) { return answer(height, height_); }

} // namespace Kestrel::Orb
