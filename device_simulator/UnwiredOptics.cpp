// Stand-ins used while the tree has no camera model and no environments: no camera, no markers.
#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulatedCamera.h"

namespace Kestrel::DeviceSimulator {

std::shared_ptr<const CameraModel> simulatedCamera() { return nullptr; }
std::vector<Vec3> environmentMarkers(const std::string&) { return {}; }

} // namespace Kestrel::DeviceSimulator
