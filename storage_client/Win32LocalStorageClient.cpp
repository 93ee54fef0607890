#include "storage_client/Win32LocalStorageClient.h"

namespace Kestrel::StorageClient {

Win32LocalStorageClient::Win32LocalStorageClient(Storage::StorageLayout layout)
    : storage_(Storage::Win32Storage::instance(layout)) {}

Win32LocalStorageClient::Win32LocalStorageClient(Storage::BasicStorage& storage) : storage_(storage) {}

std::string Win32LocalStorageClient::read(const std::string& group, const std::string& key) {
    return storage_.read(group, key);
}

void Win32LocalStorageClient::write(const std::string& group, const std::string& key, const std::string& value) {
    storage_.write(group, key, value);
}

void Win32LocalStorageClient::remove(const std::string& group, const std::string& key) {
    storage_.remove(group, key);
}

std::string Win32LocalStorageClient::next(const std::string& group, const std::string& key) {
    return storage_.next(group, key);
}

} // namespace Kestrel::StorageClient
