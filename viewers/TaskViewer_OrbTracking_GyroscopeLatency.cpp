#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"

#include <QQmlEngine>

#include <algorithm>
#include <cmath>
#include <limits>

#include "device_network/NetworkHolder.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"
#include "tracking/runtime/device_tasks/LatencyCorrelation.h"

using Kestrel::InterfaceContract::Ref;

const QColor TaskViewer_OrbTracking_GyroscopeLatency::opticalColor(220, 90, 0, 255);

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
    if (gyroscope.size() < 2)
        return;
    graph.reserve(int(2 * (gyroscope.size() - 1)));
    for (size_t i = 1; i < gyroscope.size(); ++i)
        graph.line(QVector3D(float(i - 1), gyroscope[i - 1][1], 0), QVector3D(float(i), gyroscope[i][1], 0));
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
    // The live curve is drawn anew from the first entry, the earlier recordings included.
    liveCurve_.clear();
}

void TaskViewer_OrbTracking_GyroscopeLatency::end() {
    auto* task = latencyTask();
    if (!task)
        return;
    task->stopRecording();
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
    graph_.clear();
    buildGraph(graph_, gyroscope);
    buildOpticalGraph(graph_, gyroscope, frames, timeline);
    const LatencyCorrelation::Lag lag = LatencyCorrelation::estimateLag(gyroscope, frames, timeline);
    setLag(describeLag(lag), lag.found ? lag.milliseconds : std::numeric_limits<double>::quiet_NaN());
    emit emitNewGeometry(&graph_);
}

void TaskViewer_OrbTracking_GyroscopeLatency::onTick() {
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
    emit emitNewGeometry(&graph_);
}
