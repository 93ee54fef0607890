#include "storage_client/BasicStorageClient.h"

#include <stdexcept>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Marshal.h"

namespace Kestrel::StorageClient {

using InterfaceContract::guard;
using InterfaceContract::toString;
using InterfaceContract::writeOut;

ResultCode BasicStorageClient::read(InArray* group, InArray* key, OutArray* value) {
    return guard([&] {
        if (!value)
            throw std::invalid_argument("IStorage::read: null value");
        writeOut(value, read(toString(group), toString(key)));
    });
}

ResultCode BasicStorageClient::write(InArray* group, InArray* key, InArray* value) {
    return guard([&] { write(toString(group), toString(key), toString(value)); });
}

ResultCode BasicStorageClient::remove(InArray* group, InArray* key) {
    return guard([&] { remove(toString(group), toString(key)); });
}

ResultCode BasicStorageClient::next(InArray* group, InArray* key, OutArray* nextKey) {
    return guard([&] {
        if (!nextKey)
            throw std::invalid_argument("IStorage::next: null nextKey");
        writeOut(nextKey, next(toString(group), toString(key)));
    });
}

ResultCode BasicStorageClient::exists(Boolean* result) {
    return guard([&] {
        if (!result)
            throw std::invalid_argument("IStorage::exists: null result");
        *result = InterfaceContract::toBoolean(exists());
    });
}

} // namespace Kestrel::StorageClient
