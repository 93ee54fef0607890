#include "device_network/TaskStart.h"

#include <stdexcept>

namespace Kestrel::DeviceNetwork {

using InterfaceContract::check;
using InterfaceContract::Ref;

Ref<ICotask> startTask(INodeNetwork& network, NodeHandle node, const InterfaceId& task,
                       const CotaskFactory& makeCotask) {
    CotaskPair pair = makeCotask(node);
    if (!pair.cotask || !pair.connection)
        throw std::logic_error("cotask factory returned no cotask or no connection");
    // The library takes over one reference of the connection; ours keeps it alive until the
    // peer is set, even if the library lets go of it at once.
    Ref<Interop::IConnection> forLibrary = pair.connection;
    Ref<IInterface> device;
    check(&network, network.startTask(node, &task, forLibrary.detach(), device.out()));
    if (!device)
        return nullptr;
    check(pair.connection.get(), pair.connection->setPeer(device.get()));
    return pair.cotask;
}

} // namespace Kestrel::DeviceNetwork
