#pragma once
// One factory per environment kind, called by createEnvironment once the code has been read.
// Each kind defines its factory in its own file; a kind that a build leaves out answers with
// EnvironmentKindNotAvailable.

#include <stdexcept>
#include <string>

#include "interface_contract/Ref.h"
#include "tracking/environments/EnvironmentCode.h"
#include "tracking/environments/EnvironmentInterfaces.h"

namespace Kestrel::Orb::Tracking {

// A well-formed code of a kind that this build cannot construct.
class EnvironmentKindNotAvailable : public std::runtime_error {
public:
    explicit EnvironmentKindNotAvailable(const std::string& kind)
        : std::runtime_error("environment kind not available: " + kind) {}
};

InterfaceContract::Ref<IEnvironment> createSingleEnvironment(const BarParameters& parameters);
InterfaceContract::Ref<IEnvironment> createQuadrangleEnvironment(const BarParameters& parameters);
InterfaceContract::Ref<IEnvironment> createRigidEnvironment(const RigidParameters& parameters);

} // namespace Kestrel::Orb::Tracking
