#pragma once
#include <memory>

#include "device_simulator/scene/CameraModel.h"

namespace Kestrel::DeviceSimulator {

// The camera every simulated tracker carries: one fixed, realistic calibration (see
// SimulatedCamera.cpp), projected through the host's own undistortion path run backwards.
std::shared_ptr<const CameraModel> simulatedCamera();

} // namespace Kestrel::DeviceSimulator
