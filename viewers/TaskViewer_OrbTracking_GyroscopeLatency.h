#pragma once
// The Gyroscope Latency viewer's native side: runs the tracking task with the recording task
// GyroscopeLatency and draws the integrated rotation about the tracker's y axis over the
// sample index (2000 samples a second) as one polyline, while recording on every tick and once
// more at the end of a recording. A new recording continues the same lists.
#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "tracking/runtime/GyroscopeLatency.h"

class TaskViewer_OrbTracking_GyroscopeLatency : public TaskViewer {
    Q_OBJECT
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
    // Stops the recording and emits the final graph.
    Q_INVOKABLE void end();

    KestrelQt3DEngine::LinedMeshConstructor* graph() { return &graph_; }
    GyroscopeLatency* latencyTask() const { return cotaskAs<GyroscopeLatency>(); }

    // Point i of the polyline is (i, second component of entry i, 0).
    static void buildGraph(KestrelQt3DEngine::LinedMeshConstructor& graph,
                           const std::vector<KestrelMath::vector3<float>>& gyroscope);

signals:
    void emitNewGeometry(KestrelQt3DEngine::LinedMeshConstructor* gyroscopeGeometry);

protected:
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;
    void onTick() override;

private:
    KestrelQt3DEngine::LinedMeshConstructor graph_;
};
