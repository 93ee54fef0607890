#include "interface_contract/ModuleRegistry.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace Kestrel::InterfaceContract::ModuleRegistry {

namespace {

struct Registry {
    std::atomic<int32_t> liveObjects{0};
    std::mutex mutex;
    std::vector<ILibraryUnloader*> unloaders;
};

Registry& registry() {
    // Never destroyed: objects may still die during static destruction.
    static Registry* instance = new Registry;
    return *instance;
}

} // namespace

void addUnloader(ILibraryUnloader* unloader) {
    if (!unloader)
        return;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.unloaders.push_back(unloader);
}

int32_t liveObjectCount() { return registry().liveObjects.load(); }

int32_t unloaderCount() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return int32_t(r.unloaders.size());
}

void objectCreated() { registry().liveObjects.fetch_add(1); }

void objectDestroyed() {
    Registry& r = registry();
    if (r.liveObjects.fetch_sub(1) != 1)
        return;
    // The list is taken out under the lock and worked on outside it: releasing an unloader may
    // destroy objects of this very module and come back here.
    std::vector<ILibraryUnloader*> unloaders;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        unloaders.swap(r.unloaders);
    }
    for (auto it = unloaders.rbegin(); it != unloaders.rend(); ++it)
        (*it)->requestUnload();
    for (auto it = unloaders.rbegin(); it != unloaders.rend(); ++it)
        (*it)->Release();
}

} // namespace Kestrel::InterfaceContract::ModuleRegistry
