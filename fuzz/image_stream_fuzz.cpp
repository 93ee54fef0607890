// The debug task's camera image stream, decoded into images of a few sizes.
//
// Input: a byte choosing the image size, then the stream.
//
// The pixels go into one buffer kept from input to input: a camera image is 300 KB, and a
// fresh one per input (a new mapping and its page faults under AddressSanitizer) cost more
// than the decoding itself.

#include <stdexcept>
#include <vector>

#include "FuzzInput.h"
#include "tracking/runtime/device_tasks/ImageStreamDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    static constexpr int sizes[4][2] = {{640, 480}, {1, 1}, {17, 3}, {0, 0}};
    const auto& [width, height] = sizes[in.byte() % 4];
    static std::vector<uint8_t> pixels;
    try {
        Kestrel::Orb::decodeImageStream(in.rest(), width, height, pixels);
        if (pixels.size() != size_t(width) * height)
            __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
