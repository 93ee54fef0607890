#include "viewers/TrackingDebugRequest.h"

#include <QElapsedTimer>

#include <algorithm>
#include <exception>

#include "interface_contract/DebugLog.h"
#include "tracking/environments/DebugHook.h"
#include "tracking/environments/OrbEnvironmentQuadrangle.h"
#include "tracking/environments/OrbEnvironmentRigid.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"
#include "viewers/TrackingDebugEnvironmentPages.h"
#include "viewers/TrackingDebugPosePages.h"
#include "viewers/TrackingDebugQuadranglePage.h"
#include "viewers/TrackingDebugSensorPages.h"

using namespace Kestrel::Orb::Tracking;
using KestrelQt3DEngine::LinedMeshConstructor;
using Page = TaskViewer_OrbTracking_Debug::Page;

namespace TrackingDebug {

namespace {

OrbEnvironmentRigid* rigidOf(IEnvironment* environment) {
    return dynamic_cast<OrbEnvironmentRigid*>(nativeEnvironment(environment));
}
OrbEnvironmentQuadrangle* quadrangleOf(IEnvironment* environment) {
    return dynamic_cast<OrbEnvironmentQuadrangle*>(nativeEnvironment(environment));
}

// Installs `draw` in `hook` for one run of its producer, within the hook's time-out, in steps
// of requestStep between which a cancel is seen. Returns whether the producer ran.
template <class... Args, class Draw>
bool ask(DebugHook<Args...>& hook, const std::atomic<bool>& cancelled, Draw draw) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + DebugHook<Args...>::defaultTimeout;
    const typename DebugHook<Args...>::Callback callback = draw;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || cancelled.load())
            return false;
        if (hook.request(callback, std::min(left, requestStep)))
            return true;
    }
}

} // namespace

bool pageIsRequested(int page, IEnvironment* environment) {
    switch (page) {
    case Page::Optics:
    case Page::History:
    case Page::AllPatterns:
    case Page::VisualPosition:
    case Page::MatchProjections:
    case Page::Optimization:
    case Page::Umi:
        return true;
    case Page::Alignment:
    case Page::Homography:
        return rigidOf(environment) != nullptr;
    case Page::QuadrangleDebug:
        return quadrangleOf(environment) != nullptr;
    default:
        return false;
    }
}

QString noProducerText(int page, IEnvironment* environment) {
    if (pageIsRequested(page, environment))
        return QString();
    switch (page) {
    case Page::Alignment:
    case Page::Homography:
        return QStringLiteral("No data: this page shows the fit of a rigid tile floor,<br>"
                              "and the stored environment is of another kind.");
    case Page::QuadrangleDebug:
        return QStringLiteral("No data: this page shows the corners a self-refining quadrangle<br>"
                              "learns, and the stored environment is of another kind.");
    case Page::GarlandDebug:
        return QStringLiteral("No data: this page needs a garland environment,<br>"
                              "which this program does not have.");
    default:
        return QString();
    }
}

QString unansweredText(int page) {
    QString why;
    switch (page) {
    case Page::Optics:
        why = QStringLiteral("the tracker sent no complete optical frame.");
        break;
    case Page::History:
        why = QStringLiteral("the optimiser took no frame.<br>"
                             "It takes frames once the inertial initialisation is over.");
        break;
    case Page::AllPatterns:
        why = QStringLiteral("bar detection did not run.<br>"
                             "It runs only while the tracker is being identified;<br>"
                             "once the optimiser holds the pose (Tracking6Dof) it is not needed.");
        break;
    case Page::Alignment:
    case Page::Homography:
        why = QStringLiteral("the tile floor was not fitted.<br>"
                             "The fit runs only while the tracker is being identified;<br>"
                             "once the optimiser holds the pose (Tracking6Dof) it is not needed.");
        break;
    case Page::VisualPosition:
        why = QStringLiteral("no step of this tracking pipeline computes<br>"
                             "a visual position of its own; the page Optimization shows<br>"
                             "the pose the optimiser fits to the rays.");
        break;
    case Page::MatchProjections:
        why = QStringLiteral("no step of this tracking pipeline matches<br>"
                             "projections on a plane; the pages Optimization and History<br>"
                             "show how rays are matched to markers.");
        break;
    case Page::Optimization:
        why = QStringLiteral("the optimiser did not run.<br>"
                             "It runs on every frame it takes, once the inertial<br>"
                             "initialisation is over.");
        break;
    case Page::Umi:
        why = QStringLiteral("no inertial data came from the tracker.");
        break;
    case Page::QuadrangleDebug:
        why = QStringLiteral("the quadrangle learned nothing.<br>"
                             "It learns from the frames the optimiser takes,<br>"
                             "once the inertial initialisation is over.");
        break;
    default:
        return QString();
    }
    return QStringLiteral("No data in the last 500 ms:<br>") + why;
}

PageSnapshot requestPage(int page, const Producers& producers, std::shared_ptr<LinedMeshConstructor> geometry,
                         const std::atomic<bool>& cancelled) {
    PageSnapshot snapshot;
    snapshot.page = page;
    snapshot.geometry = std::move(geometry);
    LinedMeshConstructor& g = *snapshot.geometry;
    g.clear();
    g.setSegmentsCount(64);
    QElapsedTimer wait;
    wait.start();
    // Runs on the producer's thread, while this thread waits in ask().
    QElapsedTimer drawing;
    auto timed = [&](auto draw) {
        return [&, draw](auto&&... data) {
            drawing.start();
            draw(data...);
            snapshot.drawNs = drawing.nsecsElapsed();
        };
    };
    OrbTracking& task = *producers.tracking;
    OptimizerContext& optimizer = *producers.optimizer;
    IEnvironment* environment = producers.environment.get();
    OrbEnvironment* native = nativeEnvironment(environment);
    bool served = false;
    try {
        switch (page) {
        case Page::Optics:
            served = ask(task.opticsHook, cancelled, timed([&](const OpticFrame& frame) { drawOptics(g, frame); }));
            break;
        case Page::History:
            served = ask(optimizer.historyHook, cancelled,
                         timed([&](const History& history, const std::vector<HistoryMarker>& newest, float) {
                             drawHistory(g, history, newest);
                         }));
            break;
        case Page::AllPatterns:
            served = native && ask(native->barDetectionHook, cancelled,
                                   timed([&](const std::vector<Vec2f>& points, const std::vector<Bar>& bars,
                                             const Vec3f& shape, float scale) {
                                       drawAllPatterns(g, points, bars, shape, scale);
                                   }));
            break;
        case Page::Alignment:
            if (OrbEnvironmentRigid* rigid = rigidOf(environment))
                served = ask(rigid->tileOffsetsHook, cancelled,
                             timed([&](const std::vector<Vec2f>& references, float tileSize) {
                                 drawAlignment(g, references, tileSize);
                             }));
            break;
        case Page::Homography:
            if (OrbEnvironmentRigid* rigid = rigidOf(environment))
                served = ask(rigid->groupPoseHook, cancelled,
                             timed([&](const HomographyTransform& transform, const std::vector<Vec3f>& rays,
                                       const std::vector<Vec3f>& distances, const std::vector<Bar>& bars,
                                       const std::vector<std::size_t>& group) {
                                 drawHomography(g, transform, rays, distances, bars, group);
                             }));
            break;
        case Page::VisualPosition:
            served = ask(optimizer.visualPositionHook, cancelled,
                         timed([&](const OpticFrame& frame, const Vec3f& position, const Quatf& rotation) {
                             drawVisualPosition(g, frame, position, rotation);
                         }));
            break;
        case Page::MatchProjections:
            served = ask(optimizer.matchProjectionsHook, cancelled,
                         timed([&](const std::vector<Vec2f>& markers, const std::vector<Vec2f>& projections,
                                   const std::vector<MarkerIndex>& indices) {
                             drawMatchProjections(g, markers, projections, indices);
                         }));
            break;
        case Page::Optimization:
            snapshot.hasText = true;
            // The marker list belongs to the optimisation thread, on which the drawing runs.
            served = ask(optimizer.optimizationHook, cancelled,
                         timed([&](const OptimizerState& state, const StateDelta& delta, const History& history) {
                             snapshot.text = drawOptimization(g, optimizer.markers(), state, delta, history);
                         }));
            break;
        case Page::Umi:
            served = ask(task.umiHook, cancelled,
                         timed([&](const InertialLeap<double>&, const AngularVelocityAverager<double>&,
                                   const UpCollector<double>& up) { drawUmi(g, up); }));
            break;
        case Page::QuadrangleDebug:
            if (OrbEnvironmentQuadrangle* quadrangle = quadrangleOf(environment))
                served = ask(quadrangle->referenceCornersHook, cancelled,
                             timed([&](const CornerObservations& observed, const AccumulatedCorners& accumulated,
                                       float barLength) { drawQuadrangleDebug(g, observed, accumulated, barLength); }));
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Tracking Debug page " << page << ": " << e.what();
        served = false;
        snapshot.hasText = false;
        snapshot.text = QStringLiteral("Drawing failed: ") + QString::fromUtf8(e.what()).toHtmlEscaped();
    }
    snapshot.waitNs = wait.nsecsElapsed();
    snapshot.served = served;
    if (!served) {
        g.clear();
        if (snapshot.text.isEmpty() || snapshot.hasText)
            snapshot.text = unansweredText(page);
        snapshot.hasText = false;
    }
    return snapshot;
}

} // namespace TrackingDebug
