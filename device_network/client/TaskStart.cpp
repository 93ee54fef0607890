#include "device_network/client/TaskStart.h"

#include <stdexcept>

#include "device_network/client/ConnectionTap.h"

namespace Kestrel::DeviceNetwork::Client {

bool startTask(INodeNetwork& network, NodeHandle node, const InterfaceId& task,
               const InterfaceContract::Ref<Interop::IConnection>& connection) {
    if (!connection)
        throw std::invalid_argument("startTask: no connection");
    // A recording hook may stand between the network and the connection; it forwards both ways.
    const InterfaceContract::Ref<Interop::IConnection> handed = tapConnection(network, node, task, connection);
    InterfaceContract::Ref<IInterface> device;
    // The library's reference: taken here, owned by the library from the call on.
    handed->AddRef();
    InterfaceContract::check(&network, network.startTask(node, &task, handed.get(), device.out()));
    if (!device)
        return false;
    InterfaceContract::check(handed.get(), handed->setPeer(device.get()));
    return true;
}

} // namespace Kestrel::DeviceNetwork::Client
