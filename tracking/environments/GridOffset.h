#pragma once
// A distance in tiles between two bars of one look, rounded to whole tiles.

#include <cmath>
#include <cstdint>
#include <optional>

#include "tracking/environments/EnvironmentCode.h"

namespace Kestrel::Orb::Tracking {

// `tiles` rounded to the nearest integer, halves away from zero; nothing when it is NaN or
// further than any grid side (a ray grazing the marker plane puts a bar almost at infinity),
// where no integer is near and converting one would be undefined.
inline std::optional<int32_t> gridOffset(double tiles) {
    if (!(std::abs(tiles) <= maximumRigidGridSide))
        return std::nullopt;
    return int32_t(std::round(tiles));
}

} // namespace Kestrel::Orb::Tracking
