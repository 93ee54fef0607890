#pragma once
// One grey camera image of the tracker, offered as IImage: offset, size and width * height
// pixel bytes, row-major.

#include <string_view>
#include <vector>

#include "interface_contract/Remap.h"
#include "tracking/runtime/device_tasks/DebugInterfaces.h"

namespace Kestrel::Orb {

class OrbImage final : public InterfaceContract::Implements<IImage> {
public:
    static constexpr uint16_t cameraWidth = 640, cameraHeight = 480;

    // Throws std::invalid_argument unless pixels holds width * height bytes.
    OrbImage(uint16_t x, uint16_t y, uint16_t width, uint16_t height, std::vector<uint8_t> pixels);
    // Decodes a camera image stream (ImageStreamDecoder.h) into a width by height image.
    static InterfaceContract::Ref<IImage> fromStream(std::string_view stream, uint16_t x, uint16_t y, uint16_t width,
                                                     uint16_t height);

    ResultCode KESTREL_CALL getData(OutArray* pixels) override;
    ResultCode KESTREL_CALL getX(uint16_t* x) override;
    ResultCode KESTREL_CALL getY(uint16_t* y) override;
    ResultCode KESTREL_CALL getWidth(uint16_t* width) override;
    ResultCode KESTREL_CALL getHeight(uint16_t* height) override;

    const std::vector<uint8_t>& pixels() const { return pixels_; }

private:
    uint16_t x_, y_, width_, height_;
    std::vector<uint8_t> pixels_;
};

} // namespace Kestrel::Orb
