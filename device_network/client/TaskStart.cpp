#include "device_network/client/TaskStart.h"

#include <stdexcept>

namespace Kestrel::DeviceNetwork::Client {

bool startTask(INodeNetwork& network, NodeHandle node, const InterfaceId& task,
               const InterfaceContract::Ref<Interop::IConnection>& connection) {
    if (!connection)
        throw std::invalid_argument("startTask: no connection");
    InterfaceContract::Ref<IInterface> device;
    // The library's reference: taken here, owned by the library from the call on.
    connection->AddRef();
    InterfaceContract::check(&network, network.startTask(node, &task, connection.get(), device.out()));
    if (!device)
        return false;
    InterfaceContract::check(connection.get(), connection->setPeer(device.get()));
    return true;
}

} // namespace Kestrel::DeviceNetwork::Client
