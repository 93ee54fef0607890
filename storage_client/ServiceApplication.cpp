#include "storage_client/ServiceApplication.h"

#include <stdexcept>

#if defined(_WIN32) && __has_include(<winrt/Windows.Management.Deployment.h>)
#define KESTREL_HAS_PACKAGE_MANAGER 1
#include <thread>
#include <winrt/Windows.ApplicationModel.h>
#include <winrt/Windows.Foundation.Collections.h>
#include <winrt/Windows.Foundation.h>
#include <winrt/Windows.Management.Deployment.h>
#pragma comment(lib, "windowsapp.lib")

#include "interface_contract/DebugLog.h"
#endif

namespace Kestrel::StorageClient {

#ifdef KESTREL_HAS_PACKAGE_MANAGER

bool isKestrelServiceInstalled() {
    bool installed = false;
    // The Windows Runtime is initialised on a thread of its own so that the caller's apartment
    // stays as it was.
    std::thread worker([&installed] {
        try {
            winrt::init_apartment(winrt::apartment_type::multi_threaded);
            winrt::Windows::Management::Deployment::PackageManager manager;
            for (const auto& package : manager.FindPackagesForUser(L"")) {
                if (package.Id().FamilyName() == L"kestrel.kestrelservice_q7mz2x4kd8wpn") {
                    installed = true;
                    break;
                }
            }
        } catch (...) {
            logLine() << "exception in UwpLocalStorageClient::isKestrelServiceInstalled()";
            installed = false;
        }
        winrt::uninit_apartment();
    });
    worker.join();
    return installed;
}

#else

bool isKestrelServiceInstalled() { return false; }

#endif

InterfaceContract::Ref<IStorage> connectServiceStorage() {
    throw std::runtime_error("the app-service storage client is not part of this build");
}

} // namespace Kestrel::StorageClient
