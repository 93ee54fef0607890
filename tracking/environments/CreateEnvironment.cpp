#include "tracking/environments/CreateEnvironment.h"

#include "tracking/environments/EnvironmentKinds.h"

namespace Kestrel::Orb::Tracking {

InterfaceContract::Ref<IEnvironment> createEnvironment(const EnvironmentCode& code) {
    // The reader checks every code it reads; a code built in memory (or a version 0 code
    // naming an unknown preset, which reads as zeros) is checked here before anything is built.
    if ((code.kind == "Single" || code.kind == "Quad") && code.bar) {
        checkBuildable(*code.bar);
        return code.kind == "Single" ? createSingleEnvironment(*code.bar) : createQuadrangleEnvironment(*code.bar);
    }
    if (code.kind == "Rigid" && code.rigid) {
        checkBuildable(*code.rigid);
        return createRigidEnvironment(*code.rigid);
    }
    return nullptr;
}

InterfaceContract::Ref<IEnvironment> createEnvironment(std::string_view code) {
    return createEnvironment(parseEnvironmentCode(code));
}

} // namespace Kestrel::Orb::Tracking
