#include "device_network/TaskStart.h"

#include <stdexcept>

#include "device_network/client/TaskStart.h"

namespace Kestrel::DeviceNetwork {

InterfaceContract::Ref<ICotask> startTask(INodeNetwork& network, NodeHandle node, const InterfaceId& task,
                                          const CotaskFactory& makeCotask) {
    CotaskPair pair = makeCotask(node);
    if (!pair.cotask || !pair.connection)
        throw std::logic_error("cotask factory returned no cotask or no connection");
    // Without a device-side object the pair is dropped here, which frees both.
    if (!Client::startTask(network, node, task, pair.connection))
        return nullptr;
    return pair.cotask;
}

} // namespace Kestrel::DeviceNetwork
