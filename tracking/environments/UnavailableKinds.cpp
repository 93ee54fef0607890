// Kinds whose classes are not part of this build yet: their codes are read completely (so a
// malformed one is still reported as such) and then refused.

#include "tracking/environments/EnvironmentKinds.h"

namespace Kestrel::Orb::Tracking {

InterfaceContract::Ref<IEnvironment> createQuadrangleEnvironment(const BarParameters&) {
    throw EnvironmentKindNotAvailable("Quad");
}

} // namespace Kestrel::Orb::Tracking
