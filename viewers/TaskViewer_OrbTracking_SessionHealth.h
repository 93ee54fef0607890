#pragma once
// The Session Health viewer's native side: runs the host-side tracking (OrbTracking) on one
// tracker against the stored environment, with the health analysis attached to that tracking
// from the moment the viewer opens, and shows the analysis' report: live figures, findings,
// plots over time, the stray-blob heat map and the room from above (SessionHealthModel).
//
// The session shown is the one this viewer's tracking has seen since it opened; the window says
// so. The tick never waits: every `refreshMs` it hands the report's making to the viewer's
// worker (at most one outstanding) and shows the newest report that has arrived.

#include <QString>

#include <chrono>
#include <memory>

#include "device_network/TaskViewer.h"
#include "tracking/environments/EnvironmentInterfaces.h"
#include "tracking/runtime/health/SessionHealth.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "viewers/RequestWorker.h"
#include "viewers/SessionHealthModel.h"

class TaskViewer_OrbTracking_SessionHealth : public TaskViewer {
    Q_OBJECT
    Q_PROPERTY(SessionHealthModel* model READ model CONSTANT)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
public:
    enum constants : int {
        InterfaceId0 = int(0xA6C07D30u),
        InterfaceId1 = int(0x44EDE3CFu),
        InterfaceId2 = int(0x965F96B9u),
        InterfaceId3 = int(0xE2928399u),
    };
    Q_ENUM(constants)

    // How often the report is made anew.
    static constexpr int refreshMs = 250;

    explicit TaskViewer_OrbTracking_SessionHealth(QObject* parent = nullptr);
    ~TaskViewer_OrbTracking_SessionHealth() override;

    SessionHealthModel* model() { return &model_; }
    // Why there is no report (no environment stored, configuration unusable), else empty.
    QString statusText() const { return statusText_; }
    // The worker that makes the reports; tests wait on it.
    RequestWorker<SessionHealthReport>& requests() { return requests_; }
    Kestrel::Orb::Tracking::OrbTracking* tracking() const { return cotaskAs<Kestrel::Orb::Tracking::OrbTracking>(); }
    // The analysis attached to the running tracking, or null before the task started.
    const std::shared_ptr<Kestrel::Orb::Tracking::Health::SessionHealth>& health() const { return health_; }

signals:
    void statusTextChanged();

protected:
    // Reads the stored placement and environment; starts the task only with an environment.
    void componentComplete() override;
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;
    void onTick() override;

private:
    void setStatusText(const QString& text);

    Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment> environment_;
    std::shared_ptr<Kestrel::Orb::Tracking::Health::SessionHealth> health_;
    SessionHealthModel model_;
    QString statusText_;
    std::chrono::steady_clock::time_point lastRequest_{};
    RequestWorker<SessionHealthReport> requests_;
};
