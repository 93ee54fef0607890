// orbtool health: the session health analysis of a tracking run, headless, on a tracker of the
// simulated device network or on a recording of the tracking task.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include "Command.h"
#include "CommandOptions.h"
#include "SimulatedTracker.h"
#include "TrackRecording.h"
#include "interface_contract/Marshal.h"
#include "tracking/environments/MarkerTiles.h"
#include "tracking/runtime/health/HealthDocuments.h"
#include "tracking/runtime/health/SessionHealth.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

namespace OrbTool {

namespace {

using namespace Kestrel;
using InterfaceContract::Ref;
using Orb::Tracking::ITrackingCotask;
using Orb::Tracking::OrbTracking;
namespace Health = Orb::Tracking::Health;

const char healthHelp[] =
    "Usage: orbtool health [--scenario FILE] [--node N] [--seconds S] [--clock realtime|fast] [--json] [--html OUT]\n"
    "       orbtool health --recording FILE.orbrec [--environment CODE] [--seconds S] [--json] [--html OUT]\n\n"
    "Runs the tracking pipeline on tracker N (default: the scenario's first tracker) of the\n"
    "simulated device network for S simulated seconds (default 20), or on a recording of the\n"
    "tracking task, and reports the session's health: optical frame rate, jitter and lost frames,\n"
    "points and blob values, inertial rates, gaps and overflows, per-marker match rates, stray\n"
    "lights, time in each tracking stage, losses, the optimiser's quality and the inertial lag,\n"
    "with findings in plain words. Nothing is found in a clean session.\n"
    "--scenario FILE  scenario JSON (default: the simulator's built-in scenario)\n"
    "--clock          overrides the scenario's clock; fast runs as fast as the pipeline keeps up\n"
    "--json           one JSON object instead of text\n"
    "--html OUT       also writes the report as one self-contained HTML file (figures inline)\n"
    "--recording FILE analyses a recorded tracking task instead, as fast as the pipeline keeps up,\n"
    "                 for S seconds of it (default: all of it)\n"
    "--environment    the environment code of the recorded tracker (default: the simulator's\n"
    "                 built-in scenario's)\n";

constexpr double step = 0.005;

// Runs `advanceTo(t)` every 5 ms of the session's time up to `seconds`, letting the optimiser
// keep pace when the clock is the command's own.
template <class Advance>
void runFor(double seconds, OrbTracking& tracking, bool waitForOptimizer, Advance advanceTo) {
    for (int k = 1; k * step <= seconds + 1e-9; ++k) {
        advanceTo(k * step);
        if (waitForOptimizer)
            tracking.sharedState().waitUntilOptimizerIdle(1.0);
    }
}

Health::HealthReport analyseRecording(const CommandOptions& options) {
    TrackRecording source(options.value("recording"));
    const double seconds = options.has("seconds") ? parseFloat(options.value("seconds"), "--seconds") : source.duration();
    if (!(seconds > 0))
        throw std::runtime_error("--seconds: must be positive (the recording holds no packets)");
    const std::string code =
        options.has("environment") ? options.value("environment") : DeviceSimulator::defaultEnvironmentCode();
    Ref<Orb::Tracking::IEnvironment> environment = Orb::Tracking::createEnvironment(code);
    if (!environment)
        throw std::runtime_error("the environment code names an unknown kind");
    Orb::Tracking::TrackingClock clock = [&source] { return int64_t(std::llround(source.now() * 1e9)); };
    auto health = std::make_shared<Health::SessionHealth>(clock);
    health->describeMarkerTiles(Orb::Tracking::markerTiles(environment.get()));
    auto network = source.network();
    Ref<ITrackingCotask> cotask =
        InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(network, source.node(), environment, clock);
    auto* tracking = static_cast<OrbTracking*>(cotask.get());
    tracking->attachObserver(health);
    if (!Orb::Tracking::startTrackingTask(*network.get(), source.node(), *tracking))
        throw std::runtime_error("the replay did not start the tracking task");
    runFor(seconds, *tracking, true, [&](double t) { source.advanceTo(t); });
    cotask.reset();
    return health->snapshot();
}

Health::HealthReport analyseSimulation(const CommandOptions& options) {
    const double seconds = options.has("seconds") ? parseFloat(options.value("seconds"), "--seconds") : 20.0;
    if (!(seconds > 0))
        throw std::runtime_error("--seconds: must be positive");
    const SimulatedTracker simulation(options, step);
    auto health = std::make_shared<Health::SessionHealth>(simulation.trackingClock());
    health->describeMarkerTiles(Orb::Tracking::markerTiles(simulation.environment().get()));
    auto network = simulation.network();
    Ref<ITrackingCotask> cotask = InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(
        network, DeviceNetwork::NodeHandle(simulation.node()), simulation.environment(), simulation.trackingClock());
    auto* tracking = static_cast<OrbTracking*>(cotask.get());
    tracking->attachObserver(health);
    if (!Orb::Tracking::startTrackingTask(*network.get(), simulation.node(), *tracking))
        throw std::runtime_error("the tracking task did not start on node " + std::to_string(simulation.node()));
    const double start = simulation.time();
    runFor(seconds, *tracking, simulation.fastClock(), [&](double t) { simulation.stepTo(start + t); });
    // Ends the task: the library lets go of the device side, which stops the optimiser.
    cotask.reset();
    return health->snapshot();
}

int runHealth(const Arguments& arguments) {
    try {
        CommandOptions options(arguments, 0, {"json"},
                               {"scenario", "node", "seconds", "clock", "recording", "environment", "html"});
        const bool fromRecording = options.has("recording");
        const Health::HealthReport report = fromRecording ? analyseRecording(options) : analyseSimulation(options);
        if (options.has("html")) {
            const std::string title = fromRecording ? "Session health of " + options.value("recording")
                                                    : "Session health of a simulated tracker";
            std::ofstream file(options.value("html"), std::ios::binary);
            file << Health::healthHtml(report, title);
            if (!file)
                throw std::runtime_error("cannot write " + options.value("html"));
        }
        const std::string text = options.has("json") ? Health::healthJson(report) : Health::healthText(report);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbtool health: %s\n", e.what());
        return 1;
    }
}

const CommandRegistration registration{"health", "measure a tracking session's health and explain it", healthHelp,
                                       runHealth};

} // namespace

} // namespace OrbTool
