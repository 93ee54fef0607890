#include "device_network/KdnFactory.h"

#include <exception>
#include <vector>

#include "device_network/NetworkHolder.h"
#include "device_network/ReplaySources.h"
#include "device_network/TaskIdentifier.h"
#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"

using Kestrel::DeviceNetwork::INodeNetwork;
using Kestrel::DeviceNetwork::NetworkHolder;
using Kestrel::DeviceNetwork::NodeHandle;
using Kestrel::DeviceNetwork::ReplaySources;
using Kestrel::InterfaceContract::Boolean;
using Kestrel::InterfaceContract::check;

namespace {

INodeNetwork* network() { return NetworkHolder::instance().network().get(); }

// The replay network serving `node`, or null for the loaded network's nodes.
INodeNetwork* replayNetwork(int node) {
    const ReplaySources::Replay* replay = ReplaySources::instance().find(NodeHandle(node));
    return replay ? replay->network.get() : nullptr;
}

// Runs one network query; a failing call is logged and answered with `neutral`, since the QML
// engine cannot carry native exceptions.
template <class T, class F>
T answer(const char* method, T neutral, F&& query) {
    try {
        return query();
    } catch (const std::exception& e) {
        Kestrel::logLine() << "KdnFactory::" << method << ": " << e.what();
        return neutral;
    }
}

} // namespace

KdnFactory::KdnFactory(QObject* parent) : QObject(parent) { setUpHolder(); }

void KdnFactory::setUpHolder() {
    try {
        NetworkHolder::instance().setUp();
    } catch (const std::exception& e) {
        Kestrel::logLine() << "KdnFactory: device network set-up failed: " << e.what();
    }
}

QString KdnFactory::getErrorMessage() const {
    const NetworkHolder& holder = NetworkHolder::instance();
    if (holder.network())
        return QString();
    if (!holder.library())
        return QStringLiteral("KDN library not loaded");
    return QStringLiteral("Factory not acquired");
}

void KdnFactory::reload() { setUpHolder(); }

bool KdnFactory::isTaskSupported(int node, int interfaceIdPart0, int interfaceIdPart1, int interfaceIdPart2,
                                 int interfaceIdPart3) const {
    INodeNetwork* replay = replayNetwork(node);
    INodeNetwork* net = replay ? replay : network();
    if (!net)
        return false;
    return answer("isTaskSupported", false, [&] {
        const auto task = Kestrel::DeviceNetwork::taskIdentifierFromParts(interfaceIdPart0, interfaceIdPart1,
                                                                          interfaceIdPart2, interfaceIdPart3);
        Boolean supported = 0;
        check(net, net->isTaskSupported(NodeHandle(node), &task, &supported));
        return supported != 0;
    });
}

int KdnFactory::getUpdateID() const {
    // Opening or closing a recording changes the tree as much as a plug does.
    const uint32_t replays = ReplaySources::instance().generation() * 0x9E3779B9u;
    INodeNetwork* net = network();
    if (!net)
        return replays ? int(replays) : -1;
    return answer("getUpdateID", -1, [&] {
        uint32_t id = 0;
        check(net, net->getUpdateId(&id));
        return int(id + replays);
    });
}

QVector<int> KdnFactory::getNodes() const {
    INodeNetwork* net = network();
    QVector<int> nodes;
    if (net)
        nodes = answer("getNodes", QVector<int>(), [&] {
            std::vector<NodeHandle> handles;
            auto out = Kestrel::InterfaceContract::outArray(handles);
            check(net, net->getNodes(&out));
            QVector<int> loaded;
            loaded.reserve(int(handles.size()));
            for (NodeHandle handle : handles)
                loaded.append(int(handle));
            return loaded;
        });
    // The open recordings' nodes follow the network's, each recording's root first.
    for (const ReplaySources::Replay& replay : ReplaySources::instance().replays())
        nodes << int(replay.network->root()) << int(replay.network->trackerNode());
    return nodes;
}

QString KdnFactory::getNodeLabel(int node) const {
    const ReplaySources::Replay* replay = ReplaySources::instance().find(NodeHandle(node));
    if (!replay)
        return QString();
    if (NodeHandle(node) == replay->network->root())
        return QString::fromStdString(replay->name);
    return QString::number(replay->network->player().schedule().recording().header.node);
}

int KdnFactory::getParent(int node) const {
    INodeNetwork* replay = replayNetwork(node);
    INodeNetwork* net = replay ? replay : network();
    if (!net)
        return 0;
    return answer("getParent", 0, [&] {
        NodeHandle parent = 0;
        check(net, net->getParent(NodeHandle(node), &parent));
        return int(parent);
    });
}
