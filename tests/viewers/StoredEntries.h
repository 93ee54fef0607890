#pragma once
// Writing and emptying the "default" entry of a storage group in the viewer tests.

#include <string>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Marshal.h"
#include "storage_client/StorageInterfaces.h"

namespace TrackingDebugTest {

inline const std::string defaultKey = "default";

inline void storeDefault(Kestrel::StorageClient::IStorage& storage, const std::string& group, const std::string& value) {
    auto g = Kestrel::InterfaceContract::inArray(group), k = Kestrel::InterfaceContract::inArray(defaultKey),
         v = Kestrel::InterfaceContract::inArray(value);
    Kestrel::InterfaceContract::check(&storage, storage.write(&g, &k, &v));
}

// Empties the entry. (Removing it would not do: the group would still name "default" as its
// default key, and reading it would then fail as a missing file.)
inline void clearDefault(Kestrel::StorageClient::IStorage& storage, const std::string& group) {
    storeDefault(storage, group, std::string());
}

} // namespace TrackingDebugTest
