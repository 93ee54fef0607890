#pragma once
// Root object of the storage client library.

#include "interface_contract/Remap.h"
#include "storage_client/StorageInterfaces.h"

namespace Kestrel::StorageClient {

class Library final : public InterfaceContract::Implements<ILibrary> {
public:
    ResultCode KESTREL_CALL openRemoteStorage(InArray* address, uint32_t port, IStorage** result) override;
    ResultCode KESTREL_CALL openLocalStorage(IStorage** result) override;
};

} // namespace Kestrel::StorageClient
