#include "device_network/client/ConnectionTap.h"

#include <memory>
#include <mutex>
#include <utility>

namespace Kestrel::DeviceNetwork::Client {

namespace {
std::mutex& tapMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<const ConnectionTap>& installedTap() {
    static std::shared_ptr<const ConnectionTap> tap;
    return tap;
}
} // namespace

ConnectionTap setConnectionTap(ConnectionTap tap) {
    auto next = tap ? std::make_shared<const ConnectionTap>(std::move(tap)) : nullptr;
    std::lock_guard<std::mutex> lock(tapMutex());
    auto previous = std::exchange(installedTap(), std::move(next));
    return previous ? *previous : ConnectionTap{};
}

InterfaceContract::Ref<Interop::IConnection> tapConnection(INodeNetwork& network, NodeHandle node,
                                                           const InterfaceId& task,
                                                           InterfaceContract::Ref<Interop::IConnection> connection) {
    std::shared_ptr<const ConnectionTap> tap;
    {
        std::lock_guard<std::mutex> lock(tapMutex());
        tap = installedTap();
    }
    if (!tap)
        return connection;
    auto tapped = (*tap)(network, node, task, connection);
    return tapped ? tapped : connection;
}

} // namespace Kestrel::DeviceNetwork::Client
