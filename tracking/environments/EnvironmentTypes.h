#pragma once
// Value types shared by the environments, the tracking runtime and the viewers.
// Metres, y up; quaternions are (x, y, z, w).

#include <cstddef>
#include <cstdint>

#include "interface_contract/KestrelMath.h"

namespace Kestrel::Orb::Tracking {

using Vec2f = KestrelMath::vector<float, 2>;
using Vec3f = KestrelMath::vector<float, 3>;
using Quatf = KestrelMath::quaternion<float>;

// Index into an environment's marker list; the negative values below mean no marker.
using MarkerIndex = int32_t;
constexpr MarkerIndex unmatchedMarker = -1;  // not matched, or dropped as a duplicate
constexpr MarkerIndex ambiguousMarker = -2;  // no unique marker near the ray

// Pose of the tracker in environment coordinates: environment = rotation * tracker + position.
struct Pose {
    Vec3f position;
    Quatf rotation;
};
static_assert(sizeof(Vec3f) == 12 && sizeof(Quatf) == 16 && sizeof(Pose) == 28, "poses cross the ABI as 7 floats");

// A point rigidly attached to the tracker (position and rotation in tracker coordinates): what
// a placement code decodes to and what the tracking task extrapolates; 7 floats across the ABI.
struct Placement {
    Vec3f position;
    Quatf rotation;
};
static_assert(sizeof(Placement) == 28, "a placement crosses the ABI as 7 floats");

// One detected bar: the point indices of its first end, middle and last end marker.
using Bar = KestrelMath::vector<std::size_t, 3>;

} // namespace Kestrel::Orb::Tracking
