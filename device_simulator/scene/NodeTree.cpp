#include "device_simulator/scene/NodeTree.h"

#include <algorithm>
#include <cmath>

namespace Kestrel::DeviceSimulator {

NodeTree::NodeTree(const std::vector<ScenarioDevice>& devices, const std::vector<DeviceNetwork::DeviceType>& filter) {
    auto named = [&](const ScenarioDevice& d) {
        return std::any_of(filter.begin(), filter.end(), [&](const DeviceNetwork::DeviceType& t) {
            return t.vendor == d.vendor && (t.product == 0 || t.product == d.product);
        });
    };
    for (const ScenarioDevice& d : devices) {
        if (!named(d))
            continue;
        Node node{d, d.plugAt, d.unplugAt};
        if (d.parent != 0) {
            const Node* parent = find(d.parent);
            if (!parent)
                continue;  // behind a device the filter hides
            node.from = std::max(node.from, parent->from);
            node.until = std::min(node.until, parent->until);
        }
        if (node.until > node.from)
            nodes_.push_back(node);
    }
}

const NodeTree::Node* NodeTree::find(uint32_t handle) const {
    for (const Node& n : nodes_)
        if (n.config.handle == handle)
            return &n;
    return nullptr;
}

std::vector<uint32_t> NodeTree::nodesAt(double t) const {
    std::vector<uint32_t> handles;
    for (const Node& n : nodes_)
        if (t >= n.from && t < n.until)
            handles.push_back(n.config.handle);
    return handles;
}

bool NodeTree::isPresent(uint32_t handle, double t) const {
    const Node* n = find(handle);
    return n && t >= n->from && t < n->until;
}

uint32_t NodeTree::parentOf(uint32_t handle) const {
    const Node* n = find(handle);
    return n ? n->config.parent : 0;
}

uint32_t NodeTree::updateIdAt(double t) const {
    uint32_t changes = 0;
    for (const Node& n : nodes_) {
        if (t >= n.from)
            ++changes;
        if (std::isfinite(n.until) && t >= n.until)
            ++changes;
    }
    return 1 + changes;
}

const ScenarioDevice* NodeTree::device(uint32_t handle) const {
    const Node* n = find(handle);
    return n ? &n->config : nullptr;
}

double NodeTree::removalTime(uint32_t handle) const {
    const Node* n = find(handle);
    return n ? n->until : 0.0;
}

} // namespace Kestrel::DeviceSimulator
