#pragma once
// The device network as the program opens it, for the subcommands that talk to trackers.

#include <stdexcept>

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"

namespace OrbTool {

struct DeviceNetworkConnection {
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ILibrary> library;
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::INodeNetwork> network;
};

// Loads the library KestrelDeviceNetwork (beside orbtool first, like the program), gives it the
// program's setting and creates the network of trackers and host adapters. Throws
// std::runtime_error when the library is missing or creates no network, and the library's own
// error when one of its calls fails.
inline DeviceNetworkConnection openDeviceNetwork() {
    using namespace Kestrel;
    constexpr DeviceNetwork::DeviceType deviceFilter[2] = {{0x3237, 0}, {0x0301, 0}};  // trackers, adapters
    constexpr uint32_t librarySetting = 6;
    DeviceNetworkConnection opened;
    opened.library = InterfaceContract::load<DeviceNetwork::ILibrary>("KestrelDeviceNetwork");
    if (!opened.library)
        throw std::runtime_error("the device-network library KestrelDeviceNetwork could not be loaded");
    InterfaceContract::check(opened.library.get(), opened.library->setSetting(librarySetting));
    InterfaceContract::InArray filter{deviceFilter, uint32_t(std::size(deviceFilter))};
    InterfaceContract::check(opened.library.get(), opened.library->createNetwork(&filter, opened.network.out()));
    if (!opened.network)
        throw std::runtime_error("the library created no network");
    return opened;
}

} // namespace OrbTool
