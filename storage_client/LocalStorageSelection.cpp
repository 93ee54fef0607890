#include "storage_client/LocalStorageSelection.h"

#include <exception>

#include "interface_contract/DebugLog.h"
#include "storage_client/ServiceApplication.h"
#include "storage_client/Win32LocalStorageClient.h"

namespace Kestrel::StorageClient {

using InterfaceContract::Ref;

ServiceAccess platformServiceAccess() {
    ServiceAccess access;
    access.isInstalled = isKestrelServiceInstalled;
    access.connect = connectServiceStorage;
    access.openFiles = [](bool serviceLayout) {
        return InterfaceContract::makeInterfaced<Win32LocalStorageClient, IStorage>(
            serviceLayout ? Storage::StorageLayout::Service : Storage::StorageLayout::Own);
    };
    return access;
}

namespace {

bool answers(const Ref<IStorage>& storage) {
    if (!storage)
        return false;
    InterfaceContract::Boolean result = InterfaceContract::BooleanFalse;
    try {
        InterfaceContract::check(storage.get(), storage->exists(&result));
    } catch (const std::exception&) {
        return false;
    }
    return result != InterfaceContract::BooleanFalse;
}

} // namespace

Ref<IStorage> selectLocalStorage(const ServiceAccess& service) {
    const bool installed = service.isInstalled();
    Ref<IStorage> serviceStorage;
    if (installed) {
        try {
            serviceStorage = service.connect();
        } catch (const std::exception& e) {
            logLine() << "Error: UwpClient connection failed";
            logLine() << e.what();
        } catch (...) {
            logLine() << "Error: UwpClient connection failed (unknown exception)";
        }
    } else {
        logLine() << "Error: UwpClient creation failed. KestrelService is not installed";
    }
    if (answers(serviceStorage)) {
        logLine() << "using uwp storage client";
        return serviceStorage;
    }
    if (installed)
        logLine() << "using win32 storage client for UWP storage";
    else
        logLine() << "using win32 storage client";
    return service.openFiles(installed);
}

} // namespace Kestrel::StorageClient
