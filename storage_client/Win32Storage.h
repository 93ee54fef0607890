#pragma once
// The plain-file storage in the user's application-data folder, in one of two layouts: the
// folder of its own, or the data folder of the installed service application.

#include <string>

#include "storage_client/BasicStorage.h"

namespace Kestrel::Storage {

enum class StorageLayout { Own, Service };

class Win32Storage final : public BasicStorage {
public:
    // Root below the user's application-data folder; created with its parents if missing.
    explicit Win32Storage(StorageLayout layout);
    // Root below `appDataFolder` instead (empty: paths relative to the current folder).
    Win32Storage(StorageLayout layout, const std::string& appDataFolder);

    // The process-wide store of `layout`, created on first use (thread-safe) and destroyed at
    // exit.
    static Win32Storage& instance(StorageLayout layout);

    // "<appData>/KestrelService" or "<appData>/Packages/<service package family>/LocalState".
    static std::string rootBelow(const std::string& appDataFolder, StorageLayout layout);

    std::string rootFolder() const override { return root_; }

protected:
    std::vector<std::string> listEntries(const std::string& folder) const override;
    void ensureGroupFolder(const std::string& folder) const override;

private:
    std::string root_;
};

} // namespace Kestrel::Storage
