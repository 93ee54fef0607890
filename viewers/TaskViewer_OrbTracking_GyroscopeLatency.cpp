#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"

#include <QQmlEngine>

#include "device_network/NetworkHolder.h"
#include "tracking/runtime/TrackingTaskStart.h"

using Kestrel::InterfaceContract::Ref;

TaskViewer_OrbTracking_GyroscopeLatency::TaskViewer_OrbTracking_GyroscopeLatency(QObject* parent) : TaskViewer(parent) {
    QQmlEngine::setObjectOwnership(&graph_, QQmlEngine::CppOwnership);
}

TaskViewer_OrbTracking_GyroscopeLatency::~TaskViewer_OrbTracking_GyroscopeLatency() = default;

Kestrel::DeviceNetwork::InterfaceId TaskViewer_OrbTracking_GyroscopeLatency::taskIdentifier() const {
    return Kestrel::Orb::Tracking::trackingTaskId;
}

Kestrel::DeviceNetwork::CotaskPair TaskViewer_OrbTracking_GyroscopeLatency::createCotask(Kestrel::DeviceNetwork::NodeHandle node) {
    auto task = Kestrel::InterfaceContract::makeInterfaced<GyroscopeLatency, Kestrel::DeviceNetwork::ICotask>(
        Kestrel::DeviceNetwork::NetworkHolder::instance().network(), node);
    Kestrel::DeviceNetwork::CotaskPair pair;
    pair.connection = Kestrel::Orb::Tracking::wireTrackingTask(*static_cast<GyroscopeLatency*>(task.get()));
    pair.cotask = std::move(task);
    return pair;
}

void TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(KestrelQt3DEngine::LinedMeshConstructor& graph,
                                                         const std::vector<KestrelMath::vector3<float>>& gyroscope) {
    if (gyroscope.size() < 2)
        return;
    graph.reserve(int(2 * (gyroscope.size() - 1)));
    for (size_t i = 1; i < gyroscope.size(); ++i)
        graph.line(QVector3D(float(i - 1), gyroscope[i - 1][1], 0), QVector3D(float(i), gyroscope[i][1], 0));
}

void TaskViewer_OrbTracking_GyroscopeLatency::begin() {
    if (auto* task = latencyTask())
        task->startRecording();
}

void TaskViewer_OrbTracking_GyroscopeLatency::end() {
    auto* task = latencyTask();
    if (!task)
        return;
    task->stopRecording();
    graph_.clear();
    task->withRecordings([&](const auto& gyroscope, const auto&) { buildGraph(graph_, gyroscope); });
    emit emitNewGeometry(&graph_);
}

void TaskViewer_OrbTracking_GyroscopeLatency::onTick() {
    auto* task = latencyTask();
    if (!task || !task->recording())
        return;
    task->withRecordings([&](const auto& gyroscope, const auto&) {
        graph_.clear();
        graph_.setCurrentColor(QColor(0, 0, 0, 255));
        buildGraph(graph_, gyroscope);
    });
    emit emitNewGeometry(&graph_);
}
