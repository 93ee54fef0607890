#pragma once
// The Tracking Debug viewer's native side: runs the host-side tracking (OrbTracking) on one
// tracker against the stored environment and placement, and on every tick draws one page of the
// pipeline's intermediate data as line geometry (and, on some pages, an HTML text).
//
// Pages 0-2 and 5-8 (and 3-4 for a rigid tile floor) come from a debug hook of the step that
// produces them: the tick installs the page's drawing, asks the producer for its next run and
// waits up to 500 ms; the drawing then runs on the producer's thread (device-network thread,
// optimisation thread or the environment's matching) while the GUI thread waits. A page whose
// producer does not run in time shows nothing for that tick. Page 9 reads the tracked state
// directly. Page 10 needs a self-refining quadrangle and page 11 a garland environment (no such
// kind exists, so that page stays empty).

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "tracking/environments/DebugHook.h"
#include "tracking/environments/OrbEnvironmentQuadrangle.h"
#include "tracking/environments/OrbEnvironmentRigid.h"
#include "tracking/runtime/OrbTracking.h"

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

    // What one tick cost on the GUI thread: all of it, the part spent waiting for a producer,
    // the part of that wait in which the page was drawn (on the producer's thread), and the
    // parts spent in the QML handlers of the text and of the geometry (wall-clock times); and
    // the GUI thread's CPU time over the whole tick, which leaves out both the wait and the
    // time other threads had the processor.
    struct TickTiming {
        int page = -1;
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

    KestrelQt3DEngine::LinedMeshConstructor* geometry() { return &geometry_; }
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
    // Draws the current page; returns whether its producer served it.
    bool drawPage(Kestrel::Orb::Tracking::OrbTracking& task);
    bool drawUserPage(Kestrel::Orb::Tracking::OrbTracking& task);
    // Emits the page's text and counts its handling in lastTick_.
    void showText(const QString& text);
    // Installs `draw` in `hook`, waits for one run of the producer (500 ms at most) and counts
    // the wait and the drawing in lastTick_.
    template <class... Args, class Draw>
    bool request(Kestrel::Orb::Tracking::DebugHook<Args...>& hook, Draw draw);

    int section_ = 0;
    Kestrel::Orb::Tracking::Placement placement_{{}, Kestrel::Orb::Tracking::Quatf::identity()};
    Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment> environment_;
    KestrelQt3DEngine::LinedMeshConstructor geometry_;
    TickTiming lastTick_;
};
