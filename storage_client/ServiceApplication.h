#pragma once
// The installed service application as the client selection sees it.

#include "interface_contract/Ref.h"
#include "storage_client/StorageInterfaces.h"

namespace Kestrel::StorageClient {

// Whether the service application is installed for the current user. Asks the Windows package
// manager on a worker thread of its own; any error is logged and counts as not installed.
// Without the Windows package manager the answer is false.
bool isKestrelServiceInstalled();

// A client of the service application's storage through its app service; raises when the
// connection cannot be made. The app-service client is not part of this build: it always
// raises, and the selection falls back to the files in the service's data folder.
InterfaceContract::Ref<IStorage> connectServiceStorage();

} // namespace Kestrel::StorageClient
