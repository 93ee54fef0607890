#pragma once
// The device tree as the network shows it at a given simulation time.
//
// A device is shown while it is plugged in, its (vendor, product) is named by the network's
// filter (product 0 in the filter matches any product) and its parent is shown: a tracker behind
// a hidden or unplugged adapter cannot be reached either. Unplugging an adapter unplugs what
// hangs on it. The update id counts the changes of the shown tree that have happened so far, so
// it changes exactly when the tree does.

#include <cstdint>
#include <vector>

#include "device_network/DeviceNetworkInterfaces.h"
#include "device_simulator/scene/Scenario.h"

namespace Kestrel::DeviceSimulator {

class NodeTree {
public:
    NodeTree(const std::vector<ScenarioDevice>& devices, const std::vector<DeviceNetwork::DeviceType>& filter);

    // Shown node handles at time t, in scenario order (the host, 0, is not listed).
    std::vector<uint32_t> nodesAt(double t) const;
    bool isPresent(uint32_t handle, double t) const;
    // Parent of a device named by the filter; 0 for the host and for unknown handles.
    uint32_t parentOf(uint32_t handle) const;
    uint32_t updateIdAt(double t) const;
    // The device behind a handle that the filter lets through, or null.
    const ScenarioDevice* device(uint32_t handle) const;
    // When the device stops being present (its own or an ancestor's unplug time).
    double removalTime(uint32_t handle) const;

private:
    struct Node {
        ScenarioDevice config;
        double from = 0, until = 0;  // effective presence interval [from, until)
    };
    const Node* find(uint32_t handle) const;
    std::vector<Node> nodes_;  // the devices the filter lets through, parents before children
};

} // namespace Kestrel::DeviceSimulator
