#include "device_network/NetworkHolder.h"

#include <cstdlib>

#include "device_network/ReplaySources.h"
#include "interface_contract/LibraryLoader.h"

namespace Kestrel::DeviceNetwork {

using InterfaceContract::check;
using InterfaceContract::Ref;

NetworkHolder& NetworkHolder::instance() {
    // Never destroyed by a static destructor: the references are released by an exit handler
    // registered after the library was loaded, so they go before the library's own statics.
    static NetworkHolder* holder = new NetworkHolder;
    return *holder;
}

void NetworkHolder::releaseAtExit() {
    NetworkHolder& holder = instance();
    holder.network_.reset();
    holder.library_.reset();
}

void NetworkHolder::setUp() {
    if (!library_) {
        Ref<ILibrary> loaded = InterfaceContract::load<ILibrary>(QStringLiteral("KestrelDeviceNetwork"));
        if (!loaded)
            return;
        library_ = loaded;
        std::atexit(&NetworkHolder::releaseAtExit);
        check(library_.get(), library_->setSetting(librarySetting));
    }
    if (!network_) {
        InArray filter{deviceFilter, uint32_t(std::size(deviceFilter))};
        Ref<INodeNetwork> created;
        check(library_.get(), library_->createNetwork(&filter, created.out()));
        network_ = created;
    }
}

} // namespace Kestrel::DeviceNetwork

namespace Kestrel::DeviceNetwork {

InterfaceContract::Ref<INodeNetwork> NetworkHolder::networkFor(NodeHandle node) const {
    if (const ReplaySources::Replay* replay = ReplaySources::instance().find(node))
        return InterfaceContract::Ref<INodeNetwork>::share(replay->network.get());
    return network_;
}

} // namespace Kestrel::DeviceNetwork
