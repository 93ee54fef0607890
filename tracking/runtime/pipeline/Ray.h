#pragma once
// One accepted optical point of a frame, as it travels from the device-network thread to the
// optimisation thread and through the History.

#include <cstdint>

#include "interface_contract/KestrelMath.h"

namespace Kestrel::Orb::Tracking {

using MarkerIndex = int32_t;

struct Ray {
    KestrelMath::vector<float, 2> point;  // normalized image coordinates
    float projectionDerivative[6];        // 2 by 3, row by row: -dP/dv at `direction`
    KestrelMath::vector<float, 3> direction;  // unit, tracker (camera) frame
    float value;                          // decoded blob value / 256
    int32_t previousLink = -1;            // index of the same blob in the previous frame, -1 none
    MarkerIndex markerIndex = -1;         // -15..-1: no marker; -2 also "declared invalid"
    uint8_t matchedByOrientation = 0;
    uint8_t usedByOptimizer = 0;          // in the normal equations of the last optimisation
};
static_assert(sizeof(Ray) == 60, "ray records are copied between threads as 60 bytes");

// True when `index` names a marker of a list of `markerCount`. The values -15..-1 mean "no
// marker"; anything outside the list is treated the same so that a faulty environment answer
// can never index past the marker list.
inline bool isMarker(MarkerIndex index, std::size_t markerCount) {
    return index >= 0 && std::size_t(index) < markerCount;
}

} // namespace Kestrel::Orb::Tracking
