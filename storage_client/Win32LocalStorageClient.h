#pragma once
// IStorage over the process-wide plain-file store of one layout.

#include "storage_client/BasicStorageClient.h"
#include "storage_client/Win32Storage.h"

namespace Kestrel::StorageClient {

class Win32LocalStorageClient final : public BasicStorageClient {
public:
    explicit Win32LocalStorageClient(Storage::StorageLayout layout);
    // Works on `storage` instead of a process-wide store (which must outlive the client).
    explicit Win32LocalStorageClient(Storage::BasicStorage& storage);

    std::string read(const std::string& group, const std::string& key) override;
    void write(const std::string& group, const std::string& key, const std::string& value) override;
    void remove(const std::string& group, const std::string& key) override;
    std::string next(const std::string& group, const std::string& key) override;
    // Local files are always there.
    bool exists() override { return true; }

    using BasicStorageClient::exists;
    using BasicStorageClient::next;
    using BasicStorageClient::read;
    using BasicStorageClient::remove;
    using BasicStorageClient::write;

private:
    Storage::BasicStorage& storage_;
};

} // namespace Kestrel::StorageClient
