#pragma once
// Test oracle: the host's reading of the tracking point stream and of the image stream, written
// independently of the encoders from the wire formats.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "device_simulator/scene/WirePoint.h"

namespace StreamDecoder {

using Kestrel::DeviceSimulator::WirePoint;

class PointStream {
public:
    // Feeds one packet; returns false for a delta without a valid reference.
    bool feed(uint8_t id, const std::string& p) {
        auto full = [&](size_t at) {
            const auto* b = reinterpret_cast<const uint8_t*>(p.data() + at);
            return WirePoint{uint16_t(b[0] | b[1] << 8), uint16_t(b[2] | b[3] << 8), b[4]};
        };
        if (id == 0) {
            previous.swap(current);
            current.clear();
            reference = 0;
            ++frames;
            return true;
        }
        if (id >= 7 && id <= 14) {
            for (int i = 0; i < id - 6; ++i)
                add(full(size_t(5 * i)));
            return true;
        }
        if (id == 15) {
            add(full(0));
            --reference;
            return delta(p, 5, reference);
        }
        if (id >= 16 && id <= 23) {
            bool ok = true;
            for (int i = 0; i < id - 15; ++i)
                ok = delta(p, size_t(3 * i), reference) && ok;
            return ok;
        }
        if (id == 24) {
            ++reference;
            return delta(p, 0, reference);
        }
        if (id == 25) {
            int r = reference;
            if (r + 1 >= int(previous.size()))
                return false;
            WirePoint first = apply(previous[size_t(r + 1)], p, 0), second = apply(previous[size_t(r)], p, 3);
            add(first);
            add(second);
            return true;
        }
        throw std::runtime_error("unexpected packet id " + std::to_string(id));
    }

    std::vector<WirePoint> previous, current;
    int reference = 0;
    int frames = 0;

private:
    static WirePoint apply(const WirePoint& ref, const std::string& p, size_t at) {
        const auto* b = reinterpret_cast<const uint8_t*>(p.data() + at);
        int dx = b[0] | (b[2] & 3) << 8, dy = b[1] | ((b[2] >> 2) & 3) << 8, dv = b[2] >> 4;
        if (dx >= 512) dx -= 1024;
        if (dy >= 512) dy -= 1024;
        if (dv >= 8) dv -= 16;
        return WirePoint{uint16_t(ref.x + dx), uint16_t(ref.y + dy), uint8_t(ref.value + dv)};
    }
    bool delta(const std::string& p, size_t at, int r) {
        if (r < 0 || r >= int(previous.size()))
            return false;
        add(apply(previous[size_t(r)], p, at));
        return true;
    }
    void add(const WirePoint& point) {
        current.push_back(point);
        ++reference;
    }
};

// 640 x 480 image from a segment stream (0 where nothing was written).
inline std::vector<uint8_t> decodeImage(const std::string& s) {
    std::vector<uint8_t> image(640 * 480, 0);
    size_t start = 0;
    while (start < s.size()) {
        size_t zero = s.find('\0', start);
        if (zero == std::string::npos)
            break;
        size_t e = zero - start;
        size_t header = zero + 1 + (e % 2 == 0 ? 1 : 0);
        if (header + 4 > s.size())
            break;
        uint32_t h;
        std::memcpy(&h, s.data() + header, 4);
        uint32_t x = h & 0x3FF, length = (h >> 10) & 0x3FF, y = (h >> 20) & 0x1FF;
        for (uint32_t i = 0; i < length && i < e; ++i) {
            int column = y % 2 == 1 ? int(x + i) : int(x) - int(i);
            if (y >= 1 && y <= 480 && column >= 1 && column <= 640)
                image[(y - 1) * 640 + size_t(column - 1)] = uint8_t(s[start + i]);
        }
        start = header + 4;
    }
    return image;
}

} // namespace StreamDecoder
