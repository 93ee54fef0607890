#pragma once
// The process-wide device network: one loaded library and one network, shared by every
// KdnFactory and by the task viewers. Both references move from empty to set once and are
// released when the process exits. GUI thread only; not locked.

#include "device_network/DeviceNetworkInterfaces.h"
#include "interface_contract/Ref.h"

namespace Kestrel::DeviceNetwork {

class NetworkHolder {
public:
    static NetworkHolder& instance();

    // Loads "KestrelDeviceNetwork" if there is no library yet (then applies setting 6), and
    // creates the network if there is a library but no network. Retries only missing steps.
    // A failing library call raises InterfaceContract::Exception and leaves what was kept.
    void setUp();

    const InterfaceContract::Ref<ILibrary>& library() const { return library_; }
    const InterfaceContract::Ref<INodeNetwork>& network() const { return network_; }
    // The network serving `node`: the open recording's replay network for its nodes
    // (device_network/ReplaySources.h), else the loaded network (null without one).
    InterfaceContract::Ref<INodeNetwork> networkFor(NodeHandle node) const;

    // The device types the program asks the network to discover.
    static constexpr DeviceType deviceFilter[2] = {{0x3237, 0}, {0x0301, 0}};
    static constexpr uint32_t librarySetting = 6;

private:
    NetworkHolder() = default;
    static void releaseAtExit();

    InterfaceContract::Ref<ILibrary> library_;
    InterfaceContract::Ref<INodeNetwork> network_;
};

} // namespace Kestrel::DeviceNetwork
