#pragma once
// One Tracking Debug page asked of its producer, off the GUI thread: the page's drawing is
// installed in the debug hook of the step that makes the page's data, and runs on the
// producer's thread during the next run of that step, into a geometry of its own. The request
// gives up after 500 ms (one request, one run's data) and earlier when it is cancelled; it
// waits in short steps so that a cancelled request lets go of the task within a step.

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

#include "device_network/DeviceNetworkInterfaces.h"
#include "engine/LinedMeshConstructor.h"
#include "interface_contract/Ref.h"
#include "tracking/environments/EnvironmentInterfaces.h"
#include "tracking/runtime/pipeline/OrbTracking.h"

namespace TrackingDebug {

// What a request reaches, held by the request itself: the viewer may close while it runs.
struct Producers {
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask> cotask;  // keeps `tracking` alive
    Kestrel::Orb::Tracking::OrbTracking* tracking = nullptr;
    std::shared_ptr<Kestrel::Orb::Tracking::OptimizerContext> optimizer;
    Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment> environment;
};

// The answer to one request.
struct PageSnapshot {
    int page = -1;
    bool served = false;  // the producer ran within the time-out and the page was drawn
    std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> geometry;  // drawn when served, else empty
    bool hasText = false;  // the page has a text of its own (Optimization)
    QString text;          // the page's text, or why it was not served
    qint64 waitNs = 0;     // from the request to the answer
    qint64 drawNs = 0;     // the drawing, on the producer's thread
};

// The step between two looks at the cancel flag while a request waits.
constexpr std::chrono::milliseconds requestStep{25};

// Whether `page` has a producer for `environment`: the pages of a rigid tile floor, of a
// quadrangle and of a garland need their kind; "User" is read directly, not requested.
bool pageIsRequested(int page, Kestrel::Orb::Tracking::IEnvironment* environment);

// The label of a page that has no producer for `environment` ("" for the requested pages).
QString noProducerText(int page, Kestrel::Orb::Tracking::IEnvironment* environment);

// Asks the producer of `page` for one run and draws it into `geometry` (cleared first).
PageSnapshot requestPage(int page, const Producers& producers,
                         std::shared_ptr<KestrelQt3DEngine::LinedMeshConstructor> geometry,
                         const std::atomic<bool>& cancelled);

// The label of a requested page whose producer did not run within the time-out: what did not
// come, and when that step runs.
QString unansweredText(int page);

} // namespace TrackingDebug
