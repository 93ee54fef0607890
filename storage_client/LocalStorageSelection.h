#pragma once
// Choice of the storage behind ILibrary::openLocalStorage.

#include <functional>

#include "interface_contract/Ref.h"
#include "storage_client/StorageInterfaces.h"

namespace Kestrel::StorageClient {

// What the selection asks of the service application; tests put stand-ins here.
struct ServiceAccess {
    std::function<bool()> isInstalled;
    // Raises when the connection fails.
    std::function<InterfaceContract::Ref<IStorage>()> connect;
    // The plain-file fall-back for the given layout (true: the service's data folder).
    std::function<InterfaceContract::Ref<IStorage>(bool serviceLayout)> openFiles;
};

// The platform's service application and the process-wide file stores.
ServiceAccess platformServiceAccess();

// The service's own storage when it is installed and answers; otherwise the plain files, in the
// service's data folder when it is installed. Writes one debug-log line per decision. Never
// fails for lack of a storage.
InterfaceContract::Ref<IStorage> selectLocalStorage(const ServiceAccess& service);

} // namespace Kestrel::StorageClient
