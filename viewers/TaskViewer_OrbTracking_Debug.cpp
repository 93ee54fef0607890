#include "viewers/TaskViewer_OrbTracking_Debug.h"

#include <QQmlEngine>

#include <exception>

#include "device_network/NetworkHolder.h"
#include "interface_contract/DebugLog.h"
#include "tracking/runtime/TrackingTaskStart.h"
#include "viewers/ThreadCpuTime.h"
#include "viewers/TrackingConfiguration.h"
#include "viewers/TrackingDebugEnvironmentPages.h"
#include "viewers/TrackingDebugPosePages.h"
#include "viewers/TrackingDebugQuadranglePage.h"
#include "viewers/TrackingDebugSensorPages.h"
#include "viewers/TrackingDebugText.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::check;

TaskViewer_OrbTracking_Debug::TaskViewer_OrbTracking_Debug(QObject* parent) : TaskViewer(parent) {
    QQmlEngine::setObjectOwnership(&geometry_, QQmlEngine::CppOwnership);
}

TaskViewer_OrbTracking_Debug::~TaskViewer_OrbTracking_Debug() = default;

const QStringList& TaskViewer_OrbTracking_Debug::sectionNames() {
    static const QStringList names = {
        QStringLiteral("Optics"),           QStringLiteral("History"),         QStringLiteral("All Patterns"),
        QStringLiteral("Alignment"),        QStringLiteral("Homography"),      QStringLiteral("Visual position"),
        QStringLiteral("MatchProjections"), QStringLiteral("Optimization"),    QStringLiteral("UMI"),
        QStringLiteral("User"),             QStringLiteral("QuadrangleDebug"), QStringLiteral("GarlandDebug")};
    return names;
}

void TaskViewer_OrbTracking_Debug::setSection(int section) {
    if (section == section_)
        return;
    section_ = section;
    emit sectionChanged();
    // The label belongs to the page: a page without text of its own must not keep showing the
    // text of the page before. (Without a task the label explains why and stays.)
    if (hasCotask())
        emit emitNewText(QString());
}

OrbEnvironmentRigid* TaskViewer_OrbTracking_Debug::rigidEnvironment() const {
    return dynamic_cast<OrbEnvironmentRigid*>(nativeEnvironment(environment_.get()));
}

OrbEnvironmentQuadrangle* TaskViewer_OrbTracking_Debug::quadrangleEnvironment() const {
    return dynamic_cast<OrbEnvironmentQuadrangle*>(nativeEnvironment(environment_.get()));
}

Kestrel::DeviceNetwork::InterfaceId TaskViewer_OrbTracking_Debug::taskIdentifier() const { return trackingTaskId; }

Kestrel::DeviceNetwork::CotaskPair TaskViewer_OrbTracking_Debug::createCotask(Kestrel::DeviceNetwork::NodeHandle node) {
    Kestrel::InterfaceContract::Ref<ITrackingCotask> task =
        Kestrel::InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(
            Kestrel::DeviceNetwork::NetworkHolder::instance().network(), node, environment_);
    Kestrel::DeviceNetwork::CotaskPair pair;
    pair.connection = wireTrackingTask(*static_cast<OrbTracking*>(task.get()));
    // The tracking face begins with the cotask face's slots: the same reference serves as both.
    pair.cotask = Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask>::adopt(task.detach());
    return pair;
}

void TaskViewer_OrbTracking_Debug::componentComplete() {
    // Exceptions must not cross the QML engine: a configuration that cannot be used is logged
    // and shown in the label, and the viewer waits for its close button.
    try {
        auto storage = TrackingDebug::openConfigurationStorage();
        if (!storage)
            return;
        TrackingDebug::StoredConfiguration configuration = TrackingDebug::readStoredConfiguration(*storage.get());
        placement_ = configuration.placement;
        if (!configuration.environment) {
            emit emitNewText(TrackingDebug::noEnvironmentText());
            return;
        }
        if (configuration.environment.get() != environment_.get())
            environment_ = std::move(configuration.environment);
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Tracking Debug configuration: " << e.what();
        emit emitNewText(QStringLiteral("Stored configuration not usable: ") + QString::fromUtf8(e.what()).toHtmlEscaped());
        return;
    }
    TaskViewer::componentComplete();
}

template <class... Args, class Draw>
bool TaskViewer_OrbTracking_Debug::request(DebugHook<Args...>& hook, Draw draw) {
    QElapsedTimer wait;
    wait.start();
    bool served = false;
    try {
        served = hook.request([&](Args... data) {
            QElapsedTimer drawing;
            drawing.start();
            draw(data...);
            lastTick_.drawNs = drawing.nsecsElapsed();
        });
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Tracking Debug page " << section_ << ": " << e.what();
    }
    lastTick_.waitNs = wait.nsecsElapsed();
    return served;
}

void TaskViewer_OrbTracking_Debug::onTick() {
    QElapsedTimer total;
    total.start();
    const int64_t cpuAtStart = TrackingDebug::threadCpuNanoseconds();
    lastTick_ = TickTiming{};
    lastTick_.page = section_;
    geometry_.clear();
    geometry_.setSegmentsCount(64);
    if (auto* task = cotaskAs<OrbTracking>())
        lastTick_.served = drawPage(*task);
    QElapsedTimer handing;
    handing.start();
    emit emitNewGeometry(&geometry_);
    lastTick_.geometryNs = handing.nsecsElapsed();
    lastTick_.cpuNs = TrackingDebug::threadCpuNanoseconds() - cpuAtStart;
    lastTick_.totalNs = total.nsecsElapsed();
}

void TaskViewer_OrbTracking_Debug::showText(const QString& text) {
    QElapsedTimer handing;
    handing.start();
    emit emitNewText(text);
    lastTick_.textNs = handing.nsecsElapsed();
}

bool TaskViewer_OrbTracking_Debug::drawPage(OrbTracking& task) {
    using namespace TrackingDebug;
    // The text of a page is made on the producer's thread and handed over here, on the GUI
    // thread, once the wait is over.
    QString text;
    bool served = false;
    OrbEnvironment* native = nativeEnvironment(environment_.get());
    std::shared_ptr<OptimizerContext> optimizer = task.sharedOptimizer();
    switch (section_) {
    case Optics:
        return request(task.opticsHook, [&](const OpticFrame& frame) { drawOptics(geometry_, frame); });
    case History:
        return request(optimizer->historyHook, [&](const Kestrel::Orb::Tracking::History& history,
                                                   const std::vector<HistoryMarker>& newest,
                                                   float) { drawHistory(geometry_, history, newest); });
    case AllPatterns:
        return native && request(native->barDetectionHook,
                                 [&](const std::vector<Vec2f>& points, const std::vector<Bar>& bars, const Vec3f& shape,
                                     float scale) { drawAllPatterns(geometry_, points, bars, shape, scale); });
    case Alignment:
        if (OrbEnvironmentRigid* rigid = rigidEnvironment())
            return request(rigid->tileOffsetsHook, [&](const std::vector<Vec2f>& references, float tileSize) {
                drawAlignment(geometry_, references, tileSize);
            });
        return false;
    case Homography:
        if (OrbEnvironmentRigid* rigid = rigidEnvironment())
            return request(rigid->groupPoseHook,
                           [&](const HomographyTransform& transform, const std::vector<Vec3f>& rays,
                               const std::vector<Vec3f>& distances, const std::vector<Bar>& bars,
                               const std::vector<std::size_t>& group) {
                               drawHomography(geometry_, transform, rays, distances, bars, group);
                           });
        return false;
    case VisualPosition:
        return request(optimizer->visualPositionHook, [&](const OpticFrame& frame, const Vec3f& position,
                                                          const Quatf& rotation) {
            drawVisualPosition(geometry_, frame, position, rotation);
        });
    case MatchProjections:
        return request(optimizer->matchProjectionsHook,
                       [&](const std::vector<Vec2f>& markers, const std::vector<Vec2f>& projections,
                           const std::vector<MarkerIndex>& indices) {
                           drawMatchProjections(geometry_, markers, projections, indices);
                       });
    case Optimization:
        // The marker list belongs to the optimisation thread, on which the drawing runs.
        served = request(optimizer->optimizationHook, [&](const OptimizerState& state, const StateDelta& delta,
                                                          const Kestrel::Orb::Tracking::History& history) {
            text = drawOptimization(geometry_, optimizer->markers(), state, delta, history);
        });
        if (served)
            showText(text);
        return served;
    case Umi:
        return request(task.umiHook, [&](const InertialLeap<double>&, const AngularVelocityAverager<double>&,
                                         const UpCollector<double>& up) { drawUmi(geometry_, up); });
    case User:
        return drawUserPage(task);
    case QuadrangleDebug:
        if (OrbEnvironmentQuadrangle* quadrangle = quadrangleEnvironment())
            return request(quadrangle->referenceCornersHook,
                           [&](const CornerObservations& observed, const AccumulatedCorners& accumulated,
                               float barLength) { drawQuadrangleDebug(geometry_, observed, accumulated, barLength); });
        return false;
    case GarlandDebug:
        // Only a garland environment would serve this page, and no such kind exists.
        return false;
    default:
        return false;
    }
}

bool TaskViewer_OrbTracking_Debug::drawUserPage(OrbTracking& task) {
    TrackingDebug::UserSnapshot snapshot;
    snapshot.placement = placement_;
    ITrackingCotask& tracking = task;
    try {
        check(&tracking, tracking.readState(TrackingDebug::userAveragingSeconds, &snapshot.tracker));
        for (std::size_t i = 0; i < snapshot.placed.size(); ++i)
            check(&tracking, tracking.readExtrapolatedState(&placement_, float(i) * TrackingDebug::userExtrapolationStep,
                                                            &snapshot.placed[i]));
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Tracking Debug page User: " << e.what();
        return false;
    }
    showText(TrackingDebug::drawUser(geometry_, snapshot));
    return true;
}
