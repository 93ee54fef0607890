// Test library whose root object does not answer ITestRoot.
#include "interface_contract/Export.h"
#include "interface_contract/ModuleRegistry.h"
#include "TestObjects.h"

using namespace TestAbi;

KESTREL_EXPORT ResultCode getLibraryInterface(ILibraryUnloader* unloader, IInterface** result) {
    return guard([&] {
        ModuleRegistry::addUnloader(unloader);
        *result = makeInterfaced<TestOther, ITestOther>().detach();
    });
}

KESTREL_EXPORT int32_t testLiveObjectCount() { return ModuleRegistry::liveObjectCount(); }
