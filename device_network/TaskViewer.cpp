#include "device_network/TaskViewer.h"

#include <exception>

#include "device_network/NetworkHolder.h"
#include "device_network/ReplaySources.h"
#include "interface_contract/DebugLog.h"

using Kestrel::DeviceNetwork::NetworkHolder;
using Kestrel::DeviceNetwork::NodeHandle;
using Kestrel::InterfaceContract::Boolean;
using Kestrel::InterfaceContract::check;

TaskViewer::TaskViewer(QObject* parent) : QObject(parent) {}

TaskViewer::~TaskViewer() = default;

void TaskViewer::setNode(int node) {
    if (node_ != node)
        node_ = node;
}

void TaskViewer::componentComplete() { startTask(); }

void TaskViewer::startTask() {
    auto network = NetworkHolder::instance().networkFor(NodeHandle(node_));
    if (!network) {
        Kestrel::logLine() << "TaskViewer: no device network, task on node " << node_ << " not started";
        return;
    }
    // Exceptions must not cross the QML engine: the viewer stays without a cotask and waits
    // for its close button.
    try {
        cotask_ = Kestrel::DeviceNetwork::startTask(*network.get(), NodeHandle(node_), taskIdentifier(),
                                                    [this](NodeHandle node) { return createCotask(node); });
        if (!cotask_)
            Kestrel::logLine() << "TaskViewer: node " << node_ << " did not start the task";
    } catch (const std::exception& e) {
        Kestrel::logLine() << "TaskViewer: starting the task on node " << node_ << " failed: " << e.what();
    }
}

void TaskViewer::requestTermination() {
    cotask_.reset();
    emit termination();
}

void TaskViewer::tick() {
    if (!cotask_)
        return;
    Boolean finished = 0;
    try {
        check(cotask_.get(), cotask_->isFinished(&finished));
    } catch (const std::exception& e) {
        Kestrel::logLine() << "TaskViewer: isFinished failed: " << e.what();
        return;
    }
    if (finished) {
        cotask_.reset();
        // A recording that went back in time ended its tasks to start them afresh; the viewer
        // stays and starts its task again. A closed recording has left the tree: the viewer ends.
        if (Kestrel::DeviceNetwork::ReplaySources::instance().find(NodeHandle(node_))) {
            startTask();
            if (cotask_)
                return;
        }
        emit termination();
        return;
    }
    onTick();
}
