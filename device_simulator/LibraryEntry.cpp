// Entry point of the simulated device network library.
#include "device_simulator/SimulatedLibrary.h"
#include "interface_contract/Export.h"
#include "interface_contract/ModuleRegistry.h"

using namespace Kestrel;

KESTREL_EXPORT InterfaceContract::ResultCode getLibraryInterface(InterfaceContract::ILibraryUnloader* unloader,
                                                                 InterfaceContract::IInterface** result) {
    return InterfaceContract::guard([&] {
        InterfaceContract::ModuleRegistry::addUnloader(unloader);
        if (!result)
            throw std::invalid_argument("null result");
        *result = InterfaceContract::makeInterfaced<DeviceSimulator::SimulatedLibrary, DeviceNetwork::ILibrary>().detach();
    });
}
