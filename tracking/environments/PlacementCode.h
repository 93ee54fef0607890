#pragma once
// The placement code: the pose of a point of interest rigidly attached to the tracker, as
// base64 text (any alphabet and padding the environment codes accept) of the record
//     version varint 0, position x, y, z float32, angles a, b, c float32 (radians)
// whose rotation is qy(b) * qx(a) * qz(c), each a turn about the named axis.

#include <string>
#include <string_view>

#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

// qy(b) * qx(a) * qz(c).
Quatf placementRotation(float a, float b, float c);

// Throws std::runtime_error: "Wrong base64 string", "need VersionConverter implementation"
// for a version other than 0, a message naming the field for a record that ends early, or
// for a value that is not a finite number.
Placement decodePlacementCode(std::string_view code);

// Standard alphabet, padded.
std::string encodePlacementCode(const Vec3f& position, const Vec3f& angles);

} // namespace Kestrel::Orb::Tracking
