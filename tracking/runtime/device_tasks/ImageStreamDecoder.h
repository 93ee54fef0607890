#pragma once
// Decoding the debug task's camera image stream into grey pixels.
//
// The stream is a sequence of segments: data bytes (never 0), one zero byte, one padding byte
// when the data count is even, then a 4-byte little-endian header h with
//     x = h & 0x3FF          1-based column of the first pixel,
//     length = h >> 10 & 0x3FF   number of pixels,
//     y = h >> 20 & 0x1FF    1-based row.
// Pixel i of the segment goes to row y, column x + i on odd rows and x - i on even rows (the
// sensor reads successive rows in opposite directions). It takes data byte i while there is
// one; the pixels beyond the data get a checker pattern: 255 when ((i + (h & 0xFF)) ^ y) is
// odd, else 0. A segment whose header would run past the end of the stream ends the decoding.
// Pixels that would land outside the image are dropped.

#include <cstdint>
#include <string_view>
#include <vector>

namespace Kestrel::Orb {

// width * height pixels, row-major, 0 where the stream wrote nothing. Throws
// std::runtime_error "Region Y coord overflow" for a segment with y > height.
std::vector<uint8_t> decodeImageStream(std::string_view stream, int width, int height);

// Same, into `pixels` (resized to width * height), whose storage is reused: a caller decoding
// image after image allocates once.
void decodeImageStream(std::string_view stream, int width, int height, std::vector<uint8_t>& pixels);

} // namespace Kestrel::Orb
