#pragma once
#include <string_view>

#include "interface_contract/Ref.h"
#include "tracking/environments/EnvironmentCode.h"
#include "tracking/environments/EnvironmentInterfaces.h"

namespace Kestrel::Orb::Tracking {

// Builds the environment an environment code describes (format in EnvironmentCode.h). The
// result holds the one reference for the caller; it is empty for a kind this system does not
// know (kinds are case-sensitive). Throws std::runtime_error for a malformed code, with the
// messages of parseEnvironmentCode, and EnvironmentKindNotAvailable for a known kind that this
// build cannot construct.
InterfaceContract::Ref<IEnvironment> createEnvironment(std::string_view code);

// Same, from a code already read.
InterfaceContract::Ref<IEnvironment> createEnvironment(const EnvironmentCode& code);

} // namespace Kestrel::Orb::Tracking
