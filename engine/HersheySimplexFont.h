#pragma once

namespace KestrelQt3DEngine {

// One glyph of the Hershey simplex stroke font: advance width and pointCount x, y pairs in
// font units (baseline y = 0, y up, cap height 21); the pair (-1, -1) lifts the pen.
struct HersheyGlyph {
    int advance = 0;
    int pointCount = 0;
    const signed char* points = nullptr;
};

// The glyph of a printable ASCII character (32 to 126); an empty glyph for any other.
HersheyGlyph hersheySimplexGlyph(unsigned char character);

} // namespace KestrelQt3DEngine
