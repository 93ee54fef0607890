#include "device_simulator/EnvironmentMarkers.h"

#include <stdexcept>

#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"

namespace Kestrel::DeviceSimulator {

std::vector<Vec3> environmentMarkers(const std::string& code) {
    using namespace Kestrel::Orb::Tracking;
    InterfaceContract::Ref<IEnvironment> environment = createEnvironment(code);
    if (!environment)
        throw std::runtime_error("unknown environment kind");
    std::vector<Vec3f> positions;
    InterfaceContract::OutArray out = InterfaceContract::outArray(positions);
    InterfaceContract::check(environment.get(), environment->markerPositions(&out));
    std::vector<Vec3> markers;
    for (const Vec3f& p : positions)
        markers.push_back(Vec3{{double(p[0]), double(p[1]), double(p[2])}});
    return markers;
}

} // namespace Kestrel::DeviceSimulator
