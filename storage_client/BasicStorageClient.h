#pragma once
// Base of every IStorage client: the interface slots convert their arguments to strings, call
// the client's operation and hand the result back; anything the operation throws becomes a
// result code and the thread's last-error message.

#include <string>

#include "interface_contract/Remap.h"
#include "storage_client/StorageInterfaces.h"

namespace Kestrel::StorageClient {

class BasicStorageClient : public InterfaceContract::Implements<IStorage> {
public:
    virtual std::string read(const std::string& group, const std::string& key) = 0;
    virtual void write(const std::string& group, const std::string& key, const std::string& value) = 0;
    virtual void remove(const std::string& group, const std::string& key) = 0;
    virtual std::string next(const std::string& group, const std::string& key) = 0;
    virtual bool exists() = 0;

    ResultCode KESTREL_CALL read(InArray* group, InArray* key, OutArray* value) final;
    ResultCode KESTREL_CALL write(InArray* group, InArray* key, InArray* value) final;
    ResultCode KESTREL_CALL remove(InArray* group, InArray* key) final;
    ResultCode KESTREL_CALL next(InArray* group, InArray* key, OutArray* nextKey) final;
    ResultCode KESTREL_CALL exists(Boolean* result) final;
};

} // namespace Kestrel::StorageClient
