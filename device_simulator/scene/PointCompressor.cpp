#include "device_simulator/scene/PointCompressor.h"

#include <algorithm>
#include <unordered_map>

namespace Kestrel::DeviceSimulator {

namespace {

int wrapped16(int difference) { return int(int16_t(uint16_t(difference))); }
int wrapped8(int difference) { return int(int8_t(uint8_t(difference))); }

enum class Form { Full, Delta, Skip, Cross, Insert };

struct Step {
    Form form;
    size_t first;  // index into the sorted frame; Cross and Insert also use first + 1
};

} // namespace

std::string encodeWirePoint(const WirePoint& p) {
    std::string bytes(5, '\0');
    bytes[0] = char(p.x & 0xFF);
    bytes[1] = char(p.x >> 8);
    bytes[2] = char(p.y & 0xFF);
    bytes[3] = char(p.y >> 8);
    bytes[4] = char(p.value);
    return bytes;
}

bool fitsDelta(const WirePoint& reference, const WirePoint& point) {
    int dx = wrapped16(point.x - reference.x), dy = wrapped16(point.y - reference.y);
    int dv = wrapped8(point.value - reference.value);
    return dx >= -512 && dx <= 511 && dy >= -512 && dy <= 511 && dv >= -8 && dv <= 7;
}

std::string encodeDelta(const WirePoint& reference, const WirePoint& point) {
    unsigned dx = unsigned(wrapped16(point.x - reference.x)) & 0x3FFu;
    unsigned dy = unsigned(wrapped16(point.y - reference.y)) & 0x3FFu;
    unsigned dv = unsigned(wrapped8(point.value - reference.value)) & 0xFu;
    std::string bytes(3, '\0');
    bytes[0] = char(dx & 0xFF);
    bytes[1] = char(dy & 0xFF);
    bytes[2] = char((dx >> 8) | ((dy >> 8) << 2) | (dv << 4));
    return bytes;
}

std::vector<EncodedPacket> PointCompressor::encodeFrame(std::vector<FramePoint> points) {
    std::stable_sort(points.begin(), points.end(), [](const FramePoint& a, const FramePoint& b) {
        return a.point.y != b.point.y ? a.point.y < b.point.y : a.point.x < b.point.x;
    });

    std::unordered_map<int64_t, size_t> previousIndex;
    for (size_t i = 0; i < previous_.size(); ++i)
        if (previous_[i].identity >= 0)
            previousIndex.emplace(previous_[i].identity, i);
    // Index of each point's twin in the previous frame, -1 when it has none or moved too far.
    std::vector<long> twin(points.size(), -1);
    for (size_t i = 0; i < points.size(); ++i) {
        auto found = points[i].identity >= 0 ? previousIndex.find(points[i].identity) : previousIndex.end();
        if (found != previousIndex.end() && fitsDelta(previous_[found->second].point, points[i].point))
            twin[i] = long(found->second);
    }

    std::vector<Step> steps;
    long r = 0;
    for (size_t i = 0; i < points.size();) {
        long next = i + 1 < points.size() ? twin[i + 1] : -1;
        if (twin[i] >= 0 && twin[i] == r) {
            steps.push_back({Form::Delta, i});
            r += 1, i += 1;
        } else if (twin[i] >= 0 && twin[i] == r + 1 && next == r) {
            steps.push_back({Form::Cross, i});
            r += 2, i += 2;
        } else if (twin[i] >= 0 && twin[i] == r + 1) {
            steps.push_back({Form::Skip, i});
            r += 2, i += 1;
        } else if (twin[i] < 0 && next >= 0 && next == r) {
            steps.push_back({Form::Insert, i});
            r += 1, i += 2;
        } else {
            steps.push_back({Form::Full, i});
            r += 1, i += 1;
        }
    }

    std::vector<EncodedPacket> packets;
    packets.push_back({0, {}});
    auto deltaOf = [&](size_t i) { return encodeDelta(previous_[size_t(twin[i])].point, points[i].point); };
    for (size_t s = 0; s < steps.size();) {
        const Step& step = steps[s];
        if (step.form == Form::Full || step.form == Form::Delta) {
            EncodedPacket packet;
            size_t count = 0;
            while (s < steps.size() && steps[s].form == step.form && count < 8) {
                size_t i = steps[s].first;
                packet.payload += step.form == Form::Full ? encodeWirePoint(points[i].point) : deltaOf(i);
                ++count, ++s;
            }
            packet.id = uint8_t((step.form == Form::Full ? 6 : 15) + count);
            packets.push_back(std::move(packet));
            continue;
        }
        size_t i = step.first;
        switch (step.form) {
        case Form::Skip: packets.push_back({24, deltaOf(i)}); break;
        case Form::Cross: packets.push_back({25, deltaOf(i) + deltaOf(i + 1)}); break;
        case Form::Insert: packets.push_back({15, encodeWirePoint(points[i].point) + deltaOf(i + 1)}); break;
        default: break;
        }
        ++s;
    }
    previous_ = std::move(points);
    return packets;
}

} // namespace Kestrel::DeviceSimulator
