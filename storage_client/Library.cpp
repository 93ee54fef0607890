#include "storage_client/Library.h"

#include <stdexcept>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Marshal.h"
#include "storage_client/LocalStorageSelection.h"
#include "storage_client/RemoteStorageClient.h"

namespace Kestrel::StorageClient {

using InterfaceContract::guard;
using InterfaceContract::Ref;

namespace {
// Hands `storage` out through `result`, releasing what the slot held before.
void handOut(Ref<IStorage> storage, IStorage** result) {
    if (IStorage* previous = *result)
        previous->Release();
    *result = storage.detach();
}
} // namespace

ResultCode Library::openRemoteStorage(InArray* address, uint32_t port, IStorage** result) {
    return guard([&] {
        if (!result)
            throw std::invalid_argument("ILibrary::openRemoteStorage: null result");
        handOut(InterfaceContract::makeInterfaced<RemoteStorageClient, IStorage>(InterfaceContract::toString(address), port),
                result);
    });
}

ResultCode Library::openLocalStorage(IStorage** result) {
    return guard([&] {
        if (!result)
            throw std::invalid_argument("ILibrary::openLocalStorage: null result");
        handOut(selectLocalStorage(platformServiceAccess()), result);
    });
}

} // namespace Kestrel::StorageClient
