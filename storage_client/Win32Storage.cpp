#include "storage_client/Win32Storage.h"

#include "storage_client/FileSystem.h"
#include "storage_client/ServiceIdentity.h"

namespace Kestrel::Storage {

namespace ServiceIdentity = StorageClient::ServiceIdentity;

std::string Win32Storage::rootBelow(const std::string& appDataFolder, StorageLayout layout) {
    if (appDataFolder.empty())
        return {};
    const char separator = FileSystem::separator;
    if (layout == StorageLayout::Own)
        return appDataFolder + separator + ServiceIdentity::storageFolderName;
    return appDataFolder + separator + "Packages" + separator + ServiceIdentity::packageFamilyName + separator +
           "LocalState";
}

Win32Storage::Win32Storage(StorageLayout layout) : Win32Storage(layout, FileSystem::localAppDataFolder()) {}

Win32Storage::Win32Storage(StorageLayout layout, const std::string& appDataFolder)
    : root_(rootBelow(appDataFolder, layout)) {
    // Failures are ignored here; they show as failing reads and writes.
    if (!root_.empty())
        FileSystem::makeFolders(root_);
}

Win32Storage& Win32Storage::instance(StorageLayout layout) {
    if (layout == StorageLayout::Own) {
        static Win32Storage own(StorageLayout::Own);
        return own;
    }
    static Win32Storage service(StorageLayout::Service);
    return service;
}

std::vector<std::string> Win32Storage::listEntries(const std::string& folder) const {
    return FileSystem::listFolder(folder);
}

void Win32Storage::ensureGroupFolder(const std::string& folder) const {
    if (!FileSystem::exists(folder))
        FileSystem::makeFolder(folder.substr(0, folder.size() - 1));
}

} // namespace Kestrel::Storage
