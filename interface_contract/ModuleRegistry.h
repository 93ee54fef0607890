#pragma once
// Module-wide registry: the unloaders of the hosts that loaded this module and the count of live
// interfaced objects. When the count drops to 0 every unloader is asked to unload, last
// registered first, then all are released and the list is emptied.

#include <cstdint>

#include "interface_contract/Interfaces.h"

namespace Kestrel::InterfaceContract::ModuleRegistry {

// Adds a reference-holding entry; the registry takes over one reference of `unloader`.
void addUnloader(ILibraryUnloader* unloader);

int32_t liveObjectCount();
int32_t unloaderCount();

// Called by every interfaced object's controller on construction and destruction.
void objectCreated();
void objectDestroyed();

} // namespace Kestrel::InterfaceContract::ModuleRegistry
