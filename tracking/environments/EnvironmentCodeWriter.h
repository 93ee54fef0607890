#pragma once
// Writes environment codes in the layout that parseEnvironmentCode reads (EnvironmentCode.h),
// as base64 with the standard alphabet and "=" padding.

#include <string>
#include <string_view>

#include "tracking/environments/EnvironmentCode.h"

namespace Kestrel::Orb::Tracking {

// Binary record of any kind with the given payload (not base64).
std::string environmentRecord(std::string_view kind, std::string_view payload);

// Payloads.
std::string barPayload(const BarParameters& parameters);
// Version 0 (preset name, grid and tiles) when rigid.version is 0, else version 1 with every field.
std::string rigidPayload(const RigidParameters& rigid);

// Codes: "Single" or "Quad" with a bar payload, and "Rigid".
std::string encodeBarEnvironment(std::string_view kind, const BarParameters& parameters);
std::string encodeRigidEnvironment(const RigidParameters& rigid);

} // namespace Kestrel::Orb::Tracking
