#include "device_simulator/EnvironmentMarkers.h"

#include <cmath>
#include <stdexcept>

#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/OrbEnvironment.h"

namespace Kestrel::DeviceSimulator {

std::vector<Vec3> environmentMarkers(const std::string& code, const std::vector<BarPlacement>& barPoses) {
    using namespace Kestrel::Orb::Tracking;
    InterfaceContract::Ref<IEnvironment> environment = createEnvironment(code);
    if (!environment)
        throw std::runtime_error("unknown environment kind");
    const OrbEnvironment* native = nativeEnvironment(environment.get());
    if (native && native->isAdaptive()) {
        if (barPoses.size() != 4)
            throw std::runtime_error("a self-refining environment needs barPoses, four [x, z, heading]");
        std::vector<Vec3> markers;
        for (const BarPlacement& bar : barPoses)
            for (float along : native->barMarkerX)
                markers.push_back(Vec3{{bar.x + std::cos(bar.heading) * along, 0.0, bar.z + std::sin(bar.heading) * along}});
        return markers;
    }
    if (!barPoses.empty())
        throw std::runtime_error("barPoses are only for self-refining (Quad) environments");
    std::vector<Vec3f> positions;
    InterfaceContract::OutArray out = InterfaceContract::outArray(positions);
    InterfaceContract::check(environment.get(), environment->markerPositions(&out));
    std::vector<Vec3> markers;
    for (const Vec3f& p : positions)
        markers.push_back(Vec3{{double(p[0]), double(p[1]), double(p[2])}});
    return markers;
}

} // namespace Kestrel::DeviceSimulator
