#pragma once
// The Gyroscope Latency viewer's native side: runs the tracking task with the recording task
// GyroscopeLatency and draws the integrated rotation about the tracker's y axis over the
// sample index (2000 samples a second). While recording, each tick copies only the samples that
// came since the last one (under the task's mutex, which the device thread takes for every
// sample) into a live curve of bounded size (LiveCurve.h: the polyline, or once it is long the
// range of each run of samples), so that a tick, the mesh upload and the drawing cost the same
// however long the recording runs. A new recording continues the same lists (the live curve is
// drawn anew from the first entry). At the end of a recording the whole recording is drawn in
// finer runs (`finalBuckets`), and beside it, in a second colour, the optical motion of the
// recorded frames on the same axis, with the lag between the two that maximises their
// correlation (LatencyCorrelation.h). That final graph and the lag search take seconds after a
// long recording: they run on a worker of the viewer, and a later tick shows them.
#include <QColor>
#include <QString>

#include <memory>

#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "tracking/runtime/device_tasks/GyroscopeLatency.h"
#include "tracking/runtime/device_tasks/LatencyCorrelation.h"
#include "viewers/LiveCurve.h"
#include "viewers/RequestWorker.h"

class TaskViewer_OrbTracking_GyroscopeLatency : public TaskViewer {
    Q_OBJECT
    Q_PROPERTY(QString lagText READ lagText NOTIFY lagChanged)
    Q_PROPERTY(double lagMilliseconds READ lagMilliseconds NOTIFY lagChanged)
public:
    using GyroscopeLatency = Kestrel::Orb::Tracking::GyroscopeLatency;

    enum constants : int {
        InterfaceId0 = int(0xA6C07D30u),
        InterfaceId1 = int(0x44EDE3CFu),
        InterfaceId2 = int(0x965F96B9u),
        InterfaceId3 = int(0xE2928399u),
    };
    Q_ENUM(constants)

    explicit TaskViewer_OrbTracking_GyroscopeLatency(QObject* parent = nullptr);
    ~TaskViewer_OrbTracking_GyroscopeLatency() override;

    // Starts a recording: frame counter 0, integrated rotation (0, 0, 0); the lists grow on.
    Q_INVOKABLE void begin();
    // Stops the recording; the final graph and the lag follow on a later tick, built off the
    // GUI thread. A recording begun before they arrive drops them.
    Q_INVOKABLE void end();

    // The lag found at the end of the last recording, as the pane shows it; empty before.
    QString lagText() const { return lagText_; }
    // Milliseconds by which the gyroscope lags the camera; NaN when none was found.
    double lagMilliseconds() const { return lagMilliseconds_; }

    // The graph shown last: the live curve, or the final graph of the last recording.
    KestrelQt3DEngine::LinedMeshConstructor* graph() { return shown_; }
    // For tests and benchmarks: whether the final graph of an ended recording is being built.
    bool finishing() const { return finals_.busy(); }
    GyroscopeLatency* latencyTask() const { return cotaskAs<GyroscopeLatency>(); }

    // Point i of the polyline is (i, second component of entry i, 0) up to `finalBuckets`
    // entries (33 s); a longer recording is drawn as the ranges of runs of entries (LiveCurve.h),
    // so that its graph uploads and draws within a frame: 10 minutes (1.2 million samples) in
    // runs of 32 samples (16 ms), where the polyline took over 200 ms to show.
    static constexpr std::size_t finalBuckets = 65536;
    static void buildGraph(KestrelQt3DEngine::LinedMeshConstructor& graph,
                           const std::vector<KestrelMath::vector3<float>>& gyroscope);
    // The optical curve, one polyline per run of frames with rays, in the optical colour.
    static void buildOpticalGraph(KestrelQt3DEngine::LinedMeshConstructor& graph,
                                  const std::vector<KestrelMath::vector3<float>>& gyroscope,
                                  const std::vector<GyroscopeLatency::FrameEntry>& frames,
                                  const GyroscopeLatency::Timeline& timeline);
    static const QColor opticalColor;

    // The pane's text for a lag search. Below `weakCorrelation` the figure is shown with a
    // warning: the two curves hardly resemble each other, so the lag is not to be trusted.
    static QString describeLag(const LatencyCorrelation::Lag& lag);
    static constexpr double weakCorrelation = 0.5;

signals:
    void emitNewGeometry(KestrelQt3DEngine::LinedMeshConstructor* gyroscopeGeometry);
    void lagChanged();

protected:
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;
    void onTick() override;

private:
    // The final graph and lag of recording number `recording`, built on the worker.
    struct Final {
        std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> graph;
        LatencyCorrelation::Lag lag;
        int recording = 0;
    };

    void setLag(const QString& text, double milliseconds);
    void postFinal();

    KestrelQt3DEngine::LinedMeshConstructor graph_;
    KestrelQt3DEngine::LinedMeshConstructor* shown_ = &graph_;
    std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> final_;
    int recording_ = 0;
    bool finalWanted_ = false;
    LiveCurve liveCurve_;
    QString lagText_;
    double lagMilliseconds_;
    // Last: destroyed first, so that a build still running holds only its own references.
    RequestWorker<Final> finals_;
};
