#pragma once
// The Tracking Debug viewer's native side: runs the host-side tracking (OrbTracking) on one
// tracker against the stored environment and placement, and on every tick draws one page of the
// pipeline's intermediate data as line geometry (and, on some pages, an HTML text).
//
// Pages 0-2 and 5-8 (and 3-4 for a rigid tile floor, 10 for a self-refining quadrangle) come
// from a debug hook of the step that produces them. The tick never waits for it: it hands the
// request to the viewer's worker (at most one outstanding, see TrackingDebugRequest.h), shows
// the newest answer that has arrived and returns. An answer that did not come within 500 ms
// shows an empty picture and a label that says why. Page 9 reads the tracked state directly.
// Page 11 needs a garland environment (no such kind exists, so that page stays empty).

#include <QString>
#include <QStringList>

#include <memory>

#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "tracking/environments/DebugHook.h"
#include "tracking/environments/OrbEnvironmentQuadrangle.h"
#include "tracking/environments/OrbEnvironmentRigid.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "viewers/RequestWorker.h"
#include "viewers/TrackingDebugRequest.h"

class TaskViewer_OrbTracking_Debug : public TaskViewer {
    Q_OBJECT
    Q_PROPERTY(QStringList sections READ sections CONSTANT)
    Q_PROPERTY(int section READ section WRITE setSection NOTIFY sectionChanged)
public:
    enum constants : int {
        InterfaceId0 = int(0xA6C07D30u),
        InterfaceId1 = int(0x44EDE3CFu),
        InterfaceId2 = int(0x965F96B9u),
        InterfaceId3 = int(0xE2928399u),
    };
    Q_ENUM(constants)

    enum Page : int {
        Optics,
        History,
        AllPatterns,
        Alignment,
        Homography,
        VisualPosition,
        MatchProjections,
        Optimization,
        Umi,
        User,
        QuadrangleDebug,
        GarlandDebug,
        PageCount
    };

    // What one tick cost on the GUI thread (wall-clock): all of it and the parts spent in the
    // QML handlers of the text and of the geometry; and the GUI thread's CPU time over the tick.
    // When the tick showed an answer of a producer (`answered`): whether the producer served
    // it, how long the worker waited for it and how long the drawing took on the producer's
    // thread.
    struct TickTiming {
        int page = -1;
        bool answered = false;
        bool served = false;
        qint64 totalNs = 0;
        qint64 waitNs = 0;
        qint64 drawNs = 0;
        qint64 textNs = 0;
        qint64 geometryNs = 0;
        qint64 cpuNs = 0;
    };

    explicit TaskViewer_OrbTracking_Debug(QObject* parent = nullptr);
    ~TaskViewer_OrbTracking_Debug() override;

    static const QStringList& sectionNames();
    QStringList sections() const { return sectionNames(); }
    int section() const { return section_; }
    void setSection(int section);

    // The geometry shown last.
    KestrelQt3DEngine::LinedMeshConstructor* geometry() { return shown_.get(); }
    // The worker that asks the producers; tests wait on it.
    RequestWorker<TrackingDebug::PageSnapshot>& requests() { return requests_; }
    const TickTiming& lastTick() const { return lastTick_; }
    const Kestrel::Orb::Tracking::Placement& placement() const { return placement_; }
    Kestrel::Orb::Tracking::IEnvironment* environment() const { return environment_.get(); }
    // The running tracking task, or null.
    Kestrel::Orb::Tracking::OrbTracking* tracking() const { return cotaskAs<Kestrel::Orb::Tracking::OrbTracking>(); }
    // The environment as a rigid tile floor, or null for the other kinds.
    Kestrel::Orb::Tracking::OrbEnvironmentRigid* rigidEnvironment() const;
    // The environment as a self-refining quadrangle, or null for the other kinds.
    Kestrel::Orb::Tracking::OrbEnvironmentQuadrangle* quadrangleEnvironment() const;

signals:
    void sectionChanged();
    void emitNewGeometry(KestrelQt3DEngine::LinedMeshConstructor* geometry);
    void emitNewText(const QString& text);

protected:
    // Reads the stored placement and environment; starts the task only with an environment.
    void componentComplete() override;
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;
    void onTick() override;

private:
    // Shows an answer of the worker, if it is for the current page.
    void present(TrackingDebug::PageSnapshot snapshot);
    void drawUserPage(Kestrel::Orb::Tracking::OrbTracking& task);
    // Emits the label's text when it changed, and counts its handling in lastTick_. On a node of
    // an open recording the label begins with the recording's frame and time.
    void showText(const QString& text);
    void showGeometry();
    // Shows `drawn` unless the page has been shown and `drawn` equals its picture (then the 3D
    // view is not repainted); `drawn` gets the geometry that is no longer shown.
    void showIfChanged(std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor>& drawn);

    int section_ = 0;
    Kestrel::Orb::Tracking::Placement placement_{{}, Kestrel::Orb::Tracking::Quatf::identity()};
    Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment> environment_;
    // Two geometries take turns: one shown, the other drawn into by the worker's request.
    std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> shown_, spare_;
    // The User page draws here on the GUI thread: spare_ may still be in a cancelled request.
    std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> userDrawn_;
    QString text_;      // as emitted
    QString pageText_;  // the page's own part of it
    const void* requestedFor_ = nullptr;  // the cotask of the latest request
    bool pageShown_ = false;  // the current page's picture (or its reason) has been emitted
    TickTiming lastTick_;
    RequestWorker<TrackingDebug::PageSnapshot> requests_;
};
