// Test library whose root object answers ITestRoot.
#include "interface_contract/Export.h"
#include "interface_contract/ModuleRegistry.h"
#include "TestObjects.h"

using namespace TestAbi;

KESTREL_EXPORT ResultCode getLibraryInterface(ILibraryUnloader* unloader, IInterface** result) {
    return guard([&] {
        ModuleRegistry::addUnloader(unloader);
        *result = makeInterfaced<TestRoot, ITestRoot>().detach();
    });
}

KESTREL_EXPORT int32_t testLiveObjectCount() { return ModuleRegistry::liveObjectCount(); }
KESTREL_EXPORT int32_t testUnloaderCount() { return ModuleRegistry::unloaderCount(); }
