// Stand-in while the tree has no environments: no markers.
#include "device_simulator/EnvironmentMarkers.h"

namespace Kestrel::DeviceSimulator {

std::vector<Vec3> environmentMarkers(const std::string&) { return {}; }

} // namespace Kestrel::DeviceSimulator
