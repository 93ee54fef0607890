#include "device_simulator/EnvironmentMarkers.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/OrbEnvironment.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

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

void resolveCoveredMarkers(const std::string& code, std::vector<CoveredMarker>& covered) {
    using namespace Kestrel::Orb::Tracking;
    InterfaceContract::Ref<IEnvironment> environment;
    const OrbEnvironmentRigid* rigid = nullptr;
    for (CoveredMarker& c : covered) {
        if (!c.byTile())
            continue;
        if (!environment) {
            environment = createEnvironment(code);
            rigid = environment ? dynamic_cast<const OrbEnvironmentRigid*>(nativeEnvironment(environment.get())) : nullptr;
        }
        const std::string tile = "tile " + std::to_string(c.tileX) + "," + std::to_string(c.tileY);
        if (!rigid)
            throw std::runtime_error(tile + ": only a rigid layout has tiles");
        const auto& tiles = rigid->tiles;
        const auto found = std::find_if(tiles.begin(), tiles.end(), [&](const RigidTile& t) {
            return int64_t(t.x) == c.tileX && int64_t(t.y) == c.tileY;
        });
        if (found == tiles.end())
            throw std::runtime_error(tile + " carries no bar");
        c.index = int64_t(found - tiles.begin()) * 3 + c.marker;
    }
}

} // namespace Kestrel::DeviceSimulator
