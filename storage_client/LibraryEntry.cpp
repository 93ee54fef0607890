// The one exported entry of the storage client library.
#include <stdexcept>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Export.h"
#include "interface_contract/ModuleRegistry.h"
#include "storage_client/Library.h"

using namespace Kestrel::InterfaceContract;

// Keeps the host's unloader (one reference taken over) and returns a new library object with
// one reference in *result, releasing what *result held.
KESTREL_EXPORT ResultCode getLibraryInterface(ILibraryUnloader* unloader, IInterface** result) {
    return guard([&] {
        if (!result) {
            // Nothing will hold the library, so the unloader reference must not be kept.
            if (unloader)
                unloader->Release();
            throw std::invalid_argument("getLibraryInterface: null result");
        }
        Ref<IInterface> library = makeInterfaced<Kestrel::StorageClient::Library, IInterface>();
        ModuleRegistry::addUnloader(unloader);
        if (IInterface* previous = *result)
            previous->Release();
        *result = library.detach();
    });
}
