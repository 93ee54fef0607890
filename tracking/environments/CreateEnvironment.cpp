#include "tracking/environments/CreateEnvironment.h"

#include "tracking/environments/EnvironmentKinds.h"

namespace Kestrel::Orb::Tracking {

InterfaceContract::Ref<IEnvironment> createEnvironment(const EnvironmentCode& code) {
    if (code.kind == "Single" && code.bar)
        return createSingleEnvironment(*code.bar);
    if (code.kind == "Quad" && code.bar)
        return createQuadrangleEnvironment(*code.bar);
    if (code.kind == "Rigid" && code.rigid)
        return createRigidEnvironment(*code.rigid);
    return nullptr;
}

InterfaceContract::Ref<IEnvironment> createEnvironment(std::string_view code) {
    return createEnvironment(parseEnvironmentCode(code));
}

} // namespace Kestrel::Orb::Tracking
