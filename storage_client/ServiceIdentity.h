#pragma once
// Identity of the installed service application that owns the shared storage.

namespace Kestrel::StorageClient::ServiceIdentity {

constexpr const char* packageFamilyName = "kestrel.kestrelservice_q7mz2x4kd8wpn";
constexpr const char* appServiceName = "com.kestrel.kestrelstorage";
constexpr const char* storageFolderName = "KestrelService";

} // namespace Kestrel::StorageClient::ServiceIdentity
