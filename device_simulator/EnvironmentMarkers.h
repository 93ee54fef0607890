#pragma once
#include <string>
#include <vector>

#include "device_simulator/scene/Pose.h"

namespace Kestrel::DeviceSimulator {

// Marker positions (environment coordinates) of an environment code, in marker-index order.
// Throws std::runtime_error for a code that cannot be read or names a kind without markers.
std::vector<Vec3> environmentMarkers(const std::string& code);

} // namespace Kestrel::DeviceSimulator
