#include "device_network/KdnFactory.h"

#include <exception>
#include <vector>

#include "device_network/NetworkHolder.h"
#include "device_network/TaskIdentifier.h"
#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"

using Kestrel::DeviceNetwork::INodeNetwork;
using Kestrel::DeviceNetwork::NetworkHolder;
using Kestrel::DeviceNetwork::NodeHandle;
using Kestrel::InterfaceContract::Boolean;
using Kestrel::InterfaceContract::check;

namespace {

INodeNetwork* network() { return NetworkHolder::instance().network().get(); }

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
    INodeNetwork* net = network();
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
    INodeNetwork* net = network();
    if (!net)
        return -1;
    return answer("getUpdateID", -1, [&] {
        uint32_t id = 0;
        check(net, net->getUpdateId(&id));
        return int(id);
    });
}

QVector<int> KdnFactory::getNodes() const {
    INodeNetwork* net = network();
    if (!net)
        return {};
    return answer("getNodes", QVector<int>(), [&] {
        std::vector<NodeHandle> handles;
        auto out = Kestrel::InterfaceContract::outArray(handles);
        check(net, net->getNodes(&out));
        QVector<int> nodes;
        nodes.reserve(int(handles.size()));
        for (NodeHandle handle : handles)
            nodes.append(int(handle));
        return nodes;
    });
}

int KdnFactory::getParent(int node) const {
    INodeNetwork* net = network();
    if (!net)
        return 0;
    return answer("getParent", 0, [&] {
        NodeHandle parent = 0;
        check(net, net->getParent(NodeHandle(node), &parent));
        return int(parent);
    });
}
