#include "recording/ReplayStart.h"

namespace Kestrel::Recording {

namespace {
constexpr uint8_t frameStartId = 0;
constexpr uint8_t firstPointId = 7, firstDeltaId = 15, lastPointId = 25;

bool isDelta(uint8_t id) { return id >= firstDeltaId && id <= lastPointId; }
} // namespace

bool isOpticalPacket(uint8_t id) { return id == frameStartId || (id >= firstPointId && id <= lastPointId); }

size_t firstSelfContainedFrame(const std::vector<Record>& records) {
    size_t candidate = records.size();  // the frame start being looked at
    bool hasDelta = false;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (r.direction != Direction::DeviceToHost)
            continue;
        if (r.id == frameStartId) {
            if (candidate != records.size() && !hasDelta)
                return candidate;
            candidate = i;
            hasDelta = false;
        } else if (isDelta(r.id)) {
            hasDelta = true;
        }
    }
    return candidate != records.size() && !hasDelta ? candidate : records.size();
}

} // namespace Kestrel::Recording
