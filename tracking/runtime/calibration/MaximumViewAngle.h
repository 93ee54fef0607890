#pragma once
// The tracker's field of view, stored on the device as "sys/MaximumViewAngle.b": exactly four
// bytes, a 32-bit float angle in radians from the optical axis, in [0, 3.1415927].

#include <string_view>

namespace Kestrel::Orb::Tracking {

// Used when the property is missing or invalid: 120 degrees.
constexpr float fallbackMaximumViewAngle = 2.0943952f;

// Throws std::runtime_error "MaximumViewAngle: Invalid format" (not 4 bytes, or not a number),
// "MaximumViewAngle: Angle too small" (below 0) or "MaximumViewAngle: Angle too big" (above
// 3.1415927).
float parseMaximumViewAngle(std::string_view bytes);

// The squared radius, in normalized image coordinates, of the view angle A in the unified model:
// s = sin A, c = cos A + xi, n = |(s, c)|, r = s / n, and r / (1 - (c / n)^2) when c / n < 0.
float maximumRadiusSquared(float angle, float xi);

} // namespace Kestrel::Orb::Tracking
