// Placement codes: the whole input is the code's text.

#include <cmath>
#include <stdexcept>

#include "FuzzInput.h"
#include "tracking/environments/PlacementCode.h"

using namespace Kestrel::Orb::Tracking;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    Placement placement;
    try {
        placement = decodePlacementCode(in.rest());
    } catch (const std::runtime_error&) {
        return 0;
    }
    // Accepted codes hold finite numbers only, so the rotation is a unit quaternion.
    const Quatf& q = placement.rotation;
    const double norm = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w);
    if (!(std::abs(norm - 1) < 1e-5))
        __builtin_trap();
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(placement.position[i]))
            __builtin_trap();
    return 0;
}
