#include "viewers/TaskViewer_OrbTracking_SessionHealth.h"

#include <exception>

#include "device_network/NetworkHolder.h"
#include "interface_contract/DebugLog.h"
#include "tracking/environments/MarkerTiles.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"
#include "viewers/TrackingConfiguration.h"
#include "viewers/TrackingDebugText.h"

using namespace Kestrel::Orb::Tracking;

TaskViewer_OrbTracking_SessionHealth::TaskViewer_OrbTracking_SessionHealth(QObject* parent) : TaskViewer(parent) {}

// A report being made holds its own references and finishes without the viewer.
TaskViewer_OrbTracking_SessionHealth::~TaskViewer_OrbTracking_SessionHealth() { requests_.cancel(); }

Kestrel::DeviceNetwork::InterfaceId TaskViewer_OrbTracking_SessionHealth::taskIdentifier() const { return trackingTaskId; }

Kestrel::DeviceNetwork::CotaskPair TaskViewer_OrbTracking_SessionHealth::createCotask(Kestrel::DeviceNetwork::NodeHandle node) {
    Kestrel::InterfaceContract::Ref<ITrackingCotask> task =
        Kestrel::InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(
            Kestrel::DeviceNetwork::NetworkHolder::instance().networkFor(node), node, environment_);
    // A fresh analysis for each tracking this viewer starts (a recording going back in time
    // starts it afresh): the session shown is the one this tracking sees.
    auto health = std::make_shared<Health::SessionHealth>(steadyTrackingClock());
    health->describeMarkerTiles(markerTiles(environment_.get()));
    static_cast<OrbTracking*>(task.get())->attachObserver(health);
    health_ = std::move(health);
    Kestrel::DeviceNetwork::CotaskPair pair;
    pair.connection = wireTrackingTask(*static_cast<OrbTracking*>(task.get()));
    // The tracking face begins with the cotask face's slots: the same reference serves as both.
    pair.cotask = Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask>::adopt(task.detach());
    return pair;
}

void TaskViewer_OrbTracking_SessionHealth::setStatusText(const QString& text) {
    if (text == statusText_)
        return;
    statusText_ = text;
    emit statusTextChanged();
}

void TaskViewer_OrbTracking_SessionHealth::componentComplete() {
    // Exceptions must not cross the QML engine: a configuration that cannot be used is shown
    // and the viewer waits for its close button.
    try {
        auto storage = TrackingDebug::openConfigurationStorage();
        if (!storage) {
            setStatusText(QString::fromLatin1(TrackingDebug::libraryMissingLine));
            return;
        }
        TrackingDebug::StoredConfiguration configuration = TrackingDebug::readStoredConfiguration(*storage.get());
        if (!configuration.environment) {
            setStatusText(TrackingDebug::noEnvironmentText());
            return;
        }
        environment_ = std::move(configuration.environment);
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Session Health configuration: " << e.what();
        setStatusText(QStringLiteral("Stored configuration not usable: ") + QString::fromUtf8(e.what()).toHtmlEscaped());
        return;
    }
    TaskViewer::componentComplete();
}

void TaskViewer_OrbTracking_SessionHealth::onTick() {
    if (std::optional<SessionHealthReport> report = requests_.take())
        model_.show(*report);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastRequest_ < std::chrono::milliseconds(refreshMs) || requests_.busy())
        return;
    if (!health_)
        return;
    lastRequest_ = now;
    // The report is a copy made under the analysis' lock, with the findings drawn from it: off
    // the GUI thread. The request holds the analysis, never the viewer.
    requests_.post([health = health_](const std::atomic<bool>&) { return health->snapshot(); });
}
