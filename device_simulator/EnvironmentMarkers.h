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

// Gives every covered marker named by tile (column, row and marker along the bar) its index in
// the marker list of the rigid layout `code`: the tile's place in the code's tile list (less
// the entries a later one for the same cell replaces) times three, plus the marker. Throws
// std::runtime_error naming the tile when `code` is not a rigid layout or has no bar there.
void resolveCoveredMarkers(const std::string& code, std::vector<CoveredMarker>& covered);

} // namespace Kestrel::DeviceSimulator
