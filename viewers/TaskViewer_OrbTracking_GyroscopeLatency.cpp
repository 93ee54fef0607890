#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"

#include <QQmlEngine>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>

#include "device_network/NetworkHolder.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"
#include "tracking/runtime/device_tasks/LatencyCorrelation.h"

using Kestrel::InterfaceContract::Ref;

const QColor TaskViewer_OrbTracking_GyroscopeLatency::opticalColor(220, 90, 0, 255);

namespace {

// A final graph handed to QML is deleted on the GUI thread: the last reference may be dropped
// by a build that outlived its viewer, on the worker's thread.
std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> newFinalGraph() {
    auto* graph = new KestrelQt3DEngine::LinedMeshConstructor;
    QQmlEngine::setObjectOwnership(graph, QQmlEngine::CppOwnership);
    return std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor>(graph, [](KestrelQt3DEngine::LinedMeshConstructor* g) {
        if (QThread::currentThread() == g->thread())
            delete g;
        else
            g->deleteLater();
    });
}

} // namespace

TaskViewer_OrbTracking_GyroscopeLatency::TaskViewer_OrbTracking_GyroscopeLatency(QObject* parent)
    : TaskViewer(parent), lagMilliseconds_(std::numeric_limits<double>::quiet_NaN()) {
    QQmlEngine::setObjectOwnership(&graph_, QQmlEngine::CppOwnership);
}

TaskViewer_OrbTracking_GyroscopeLatency::~TaskViewer_OrbTracking_GyroscopeLatency() = default;

Kestrel::DeviceNetwork::InterfaceId TaskViewer_OrbTracking_GyroscopeLatency::taskIdentifier() const {
    return Kestrel::Orb::Tracking::trackingTaskId;
}

Kestrel::DeviceNetwork::CotaskPair TaskViewer_OrbTracking_GyroscopeLatency::createCotask(Kestrel::DeviceNetwork::NodeHandle node) {
    auto task = Kestrel::InterfaceContract::makeInterfaced<GyroscopeLatency, Kestrel::DeviceNetwork::ICotask>(
        Kestrel::DeviceNetwork::NetworkHolder::instance().networkFor(node), node);
    Kestrel::DeviceNetwork::CotaskPair pair;
    pair.connection = Kestrel::Orb::Tracking::wireTrackingTask(*static_cast<GyroscopeLatency*>(task.get()));
    pair.cotask = std::move(task);
    return pair;
}

void TaskViewer_OrbTracking_GyroscopeLatency::buildGraph(KestrelQt3DEngine::LinedMeshConstructor& graph,
                                                         const std::vector<KestrelMath::vector3<float>>& gyroscope) {
    LiveCurve curve(finalBuckets);
    for (const auto& rotation : gyroscope)
        curve.append(rotation[1]);
    curve.draw(graph);
}

void TaskViewer_OrbTracking_GyroscopeLatency::buildOpticalGraph(KestrelQt3DEngine::LinedMeshConstructor& graph,
                                                                const std::vector<KestrelMath::vector3<float>>& gyroscope,
                                                                const std::vector<GyroscopeLatency::FrameEntry>& frames,
                                                                const GyroscopeLatency::Timeline& timeline) {
    const QColor previous = graph.currentColor();
    graph.setCurrentColor(opticalColor);
    for (const auto& run : LatencyCorrelation::opticalCurve(gyroscope, frames, timeline))
        for (size_t i = 1; i < run.size(); ++i)
            graph.line(QVector3D(float(run[i - 1].sampleIndex), float(run[i - 1].angle), 0),
                       QVector3D(float(run[i].sampleIndex), float(run[i].angle), 0));
    graph.setCurrentColor(previous);
}

void TaskViewer_OrbTracking_GyroscopeLatency::setLag(const QString& text, double milliseconds) {
    lagText_ = text;
    lagMilliseconds_ = milliseconds;
    emit lagChanged();
}

QString TaskViewer_OrbTracking_GyroscopeLatency::describeLag(const LatencyCorrelation::Lag& lag) {
    if (!lag.found)
        return QStringLiteral("gyroscope lag: not found\n(turn the tracker back and forth in front of one light)");
    QString text = QStringLiteral("gyroscope lag: %1 ms\n(correlation %2 over %3 frames)")
                       .arg(lag.milliseconds, 0, 'f', 1)
                       .arg(lag.correlation, 0, 'f', 3)
                       .arg(lag.pairs);
    if (lag.correlation < weakCorrelation)
        text += QStringLiteral("\nweak match, not to be trusted: turn the tracker back and forth in front of one light");
    return text;
}

void TaskViewer_OrbTracking_GyroscopeLatency::begin() {
    auto* task = latencyTask();
    if (!task)
        return;
    task->startRecording();
    // A final graph still being built belongs to the recording before.
    ++recording_;
    finals_.cancel();
    finalWanted_ = false;
    // The live curve is drawn anew from the first entry, the earlier recordings included.
    liveCurve_.clear();
}

void TaskViewer_OrbTracking_GyroscopeLatency::end() {
    auto* task = latencyTask();
    if (!task)
        return;
    task->stopRecording();
    finalWanted_ = true;
    postFinal();
}

// Starts the final build of the current recording, unless the build of an earlier one has not
// been taken yet: then the next tick starts it.
void TaskViewer_OrbTracking_GyroscopeLatency::postFinal() {
    auto* task = latencyTask();
    if (!task || finals_.busy())
        return;
    finalWanted_ = false;
    // The build holds the task and its graph itself: the viewer may close while it runs.
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask> keep = cotask();
    const int recording = recording_;
    finals_.post([keep, task, graph = newFinalGraph(), recording](const std::atomic<bool>&) {
        // Copied under the task's mutex, drawn and compared without it: the device thread takes
        // that mutex for every sample.
        LatencyCorrelation::Gyroscope gyroscope;
        LatencyCorrelation::Frames frames;
        LatencyCorrelation::Timeline timeline;
        task->withTimeline([&](const auto& g, const auto& f, const auto& t) {
            gyroscope = g;
            frames = f;
            timeline = t;
        });
        buildGraph(*graph, gyroscope);
        buildOpticalGraph(*graph, gyroscope, frames, timeline);
        return Final{graph, LatencyCorrelation::estimateLag(gyroscope, frames, timeline), recording};
    });
}

void TaskViewer_OrbTracking_GyroscopeLatency::onTick() {
    if (std::optional<Final> done = finals_.take(); done && done->recording == recording_) {
        final_ = std::move(done->graph);
        shown_ = final_.get();
        setLag(describeLag(done->lag), done->lag.found ? done->lag.milliseconds : std::numeric_limits<double>::quiet_NaN());
        emit emitNewGeometry(shown_);
    }
    if (finalWanted_)
        postFinal();
    auto* task = latencyTask();
    if (!task || !task->recording())
        return;
    // Only the entries that came since the last tick are copied under the task's mutex, then
    // added to the live curve, whose drawing has a bounded number of segments.
    std::vector<float> fresh;
    task->withRecordings([&](const auto& gyroscope, const auto&) {
        for (std::size_t i = liveCurve_.count(); i < gyroscope.size(); ++i)
            fresh.push_back(gyroscope[i][1]);
    });
    if (fresh.empty())
        return;
    for (float value : fresh)
        liveCurve_.append(value);
    graph_.clear();
    graph_.setCurrentColor(QColor(0, 0, 0, 255));
    liveCurve_.draw(graph_);
    shown_ = &graph_;
    emit emitNewGeometry(&graph_);
}
