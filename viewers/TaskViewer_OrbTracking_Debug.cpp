#include "viewers/TaskViewer_OrbTracking_Debug.h"

#include <QElapsedTimer>
#include <QQmlEngine>
#include <QThread>

#include <cstring>

#include <exception>

#include "device_network/NetworkHolder.h"
#include "device_network/ReplaySources.h"
#include "interface_contract/DebugLog.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"
#include "viewers/ThreadCpuTime.h"
#include "viewers/TrackingConfiguration.h"
#include "viewers/TrackingDebugPosePages.h"
#include "viewers/TrackingDebugText.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::check;

namespace {

// A geometry handed to QML is deleted on the GUI thread: the last reference may be dropped by a
// request that outlived its viewer, on the worker's thread.
std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> newGeometry() {
    auto* geometry = new KestrelQt3DEngine::LinedMeshConstructor;
    QQmlEngine::setObjectOwnership(geometry, QQmlEngine::CppOwnership);
    return std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor>(geometry, [](KestrelQt3DEngine::LinedMeshConstructor* g) {
        if (QThread::currentThread() == g->thread())
            delete g;
        else
            g->deleteLater();
    });
}

} // namespace

TaskViewer_OrbTracking_Debug::TaskViewer_OrbTracking_Debug(QObject* parent)
    : TaskViewer(parent), shown_(newGeometry()), spare_(newGeometry()), userDrawn_(newGeometry()) {}

// A request still outstanding holds its own references and finishes without the viewer.
TaskViewer_OrbTracking_Debug::~TaskViewer_OrbTracking_Debug() { requests_.cancel(); }

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
    // An answer for the page before is of no use any more.
    requests_.cancel();
    pageShown_ = false;
    // The label belongs to the page: a page without text of its own must not keep showing the
    // text of the page before. (Without a task the label explains why and stays.)
    if (hasCotask())
        showText(QString());
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
            Kestrel::DeviceNetwork::NetworkHolder::instance().networkFor(node), node, environment_);
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

void TaskViewer_OrbTracking_Debug::onTick() {
    QElapsedTimer total;
    total.start();
    const int64_t cpuAtStart = TrackingDebug::threadCpuNanoseconds();
    lastTick_ = TickTiming{};
    lastTick_.page = section_;
    auto* task = cotaskAs<OrbTracking>();
    // A recording going back in time starts the task afresh: a request to the task before has
    // nothing more to come.
    if (cotask().get() != requestedFor_ && requests_.busy())
        requests_.cancel();
    if (std::optional<TrackingDebug::PageSnapshot> answer = requests_.take())
        present(std::move(*answer));
    if (task && section_ == User) {
        drawUserPage(*task);
    } else if (task && TrackingDebug::pageIsRequested(section_, environment_.get())) {
        if (!requests_.busy()) {
            TrackingDebug::Producers producers{cotask(), task, task->sharedOptimizer(), environment_};
            requestedFor_ = cotask().get();
            const int page = section_;
            requests_.post([producers, page, geometry = spare_](const std::atomic<bool>& cancelled) {
                return TrackingDebug::requestPage(page, producers, geometry, cancelled);
            });
        }
    } else if (!pageShown_) {
        // No producer for this page: an empty picture, and why.
        shown_->clear();
        showText(TrackingDebug::noProducerText(section_, environment_.get()));
        showGeometry();
        pageShown_ = true;
    }
    lastTick_.cpuNs = TrackingDebug::threadCpuNanoseconds() - cpuAtStart;
    lastTick_.totalNs = total.nsecsElapsed();
}

void TaskViewer_OrbTracking_Debug::present(TrackingDebug::PageSnapshot snapshot) {
    if (snapshot.page != section_) {
        spare_ = std::move(snapshot.geometry);
        return;
    }
    // A paused recording runs no frame: the page keeps the last frame's picture, and asks again
    // so that the next step is seen.
    if (!snapshot.served && Kestrel::DeviceNetwork::ReplaySources::instance().holdsStill(Kestrel::DeviceNetwork::NodeHandle(node()))) {
        spare_ = std::move(snapshot.geometry);
        showText(pageText_);
        return;
    }
    lastTick_.answered = true;
    lastTick_.served = snapshot.served;
    lastTick_.waitNs = snapshot.waitNs;
    lastTick_.drawNs = snapshot.drawNs;
    showText(snapshot.hasText || !snapshot.served ? snapshot.text : QString());
    showIfChanged(snapshot.geometry);
    spare_ = std::move(snapshot.geometry);
    pageShown_ = true;
}

namespace {

bool samePicture(const KestrelQt3DEngine::LinedMeshConstructor& a, const KestrelQt3DEngine::LinedMeshConstructor& b) {
    const auto& first = a.vertices();
    const auto& second = b.vertices();
    // LinedVertex has no padding: equal bytes are equal vertices.
    return first.size() == second.size() &&
           (first.empty() || std::memcmp(first.data(), second.data(), first.size() * sizeof(first[0])) == 0);
}

} // namespace

void TaskViewer_OrbTracking_Debug::showIfChanged(std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor>& drawn) {
    // The first picture of a page is always handed over (once per page switch).
    if (pageShown_ && samePicture(*drawn, *shown_))
        return;
    std::swap(drawn, shown_);
    showGeometry();
}

void TaskViewer_OrbTracking_Debug::showGeometry() {
    QElapsedTimer handing;
    handing.start();
    emit emitNewGeometry(shown_.get());
    lastTick_.geometryNs = handing.nsecsElapsed();
}

void TaskViewer_OrbTracking_Debug::showText(const QString& pageText) {
    pageText_ = pageText;
    const std::string position =
        Kestrel::DeviceNetwork::ReplaySources::instance().positionText(Kestrel::DeviceNetwork::NodeHandle(node()));
    const QString text = position.empty() ? pageText
                                          : "<b>Recording " + QString::fromStdString(position).toHtmlEscaped() + "</b>" +
                                                (pageText.isEmpty() ? QString() : "<br>" + pageText);
    if (text == text_)
        return;
    text_ = text;
    QElapsedTimer handing;
    handing.start();
    emit emitNewText(text);
    lastTick_.textNs = handing.nsecsElapsed();
}

void TaskViewer_OrbTracking_Debug::drawUserPage(OrbTracking& task) {
    lastTick_.answered = true;
    KestrelQt3DEngine::LinedMeshConstructor& drawn = *userDrawn_;
    drawn.clear();
    drawn.setSegmentsCount(64);
    TrackingDebug::UserSnapshot snapshot;
    snapshot.placement = placement_;
    ITrackingCotask& tracking = task;
    try {
        check(&tracking, tracking.readState(TrackingDebug::userAveragingSeconds, &snapshot.tracker));
        for (std::size_t i = 0; i < snapshot.placed.size(); ++i)
            check(&tracking, tracking.readExtrapolatedState(&placement_, float(i) * TrackingDebug::userExtrapolationStep,
                                                            &snapshot.placed[i]));
        showText(TrackingDebug::drawUser(drawn, snapshot));
        lastTick_.served = true;
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Tracking Debug page User: " << e.what();
        drawn.clear();
    }
    showIfChanged(userDrawn_);
    pageShown_ = true;
}
