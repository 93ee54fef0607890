#pragma once
#include <string>
#include <vector>

#include "device_simulator/scene/Pose.h"
#include "device_simulator/scene/Scenario.h"

namespace Kestrel::DeviceSimulator {

// Marker positions (environment coordinates) of an environment code, in marker-index order.
// A self-refining environment ("Quad") has no layout of its own: its four bars are placed at
// `barPoses` (sides 0..3, markers side * 3 + k). Throws std::runtime_error for a code that
// cannot be read or names a kind without markers, for a "Quad" code without four bar poses,
// and for bar poses given to another kind.
std::vector<Vec3> environmentMarkers(const std::string& code, const std::vector<BarPlacement>& barPoses = {});

} // namespace Kestrel::DeviceSimulator
