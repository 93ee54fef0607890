// orbtool track: the tracking pipeline, headless, against the simulated device network, with
// its accuracy measured against the simulator's ground truth.

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#ifdef __MINGW32__
#include <pthread.h>
#endif
#else
#include <pthread.h>
#include <time.h>
#endif

#include "Command.h"
#include "CommandOptions.h"
#include "DeviceNetworkOpening.h"
#include "LearnedFrame.h"
#include "TrackRecording.h"
#include "SimulatedTracker.h"
#include "TrackScenario.h"
#include "TrackStatistics.h"
#include "device_network/DeviceNetworkInterfaces.h"
#include "device_simulator/SimulationControl.h"
#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/runtime/pipeline/OrbTracking.h"
#include "tracking/runtime/stream/TrackingTaskStart.h"

namespace OrbTool {

namespace {

using namespace Kestrel;
using InterfaceContract::check;
using InterfaceContract::Ref;
using Orb::Tracking::ITrackingCotask;
using Orb::Tracking::OrbTracking;

const char trackHelp[] =
    "Usage: orbtool track [--scenario FILE] [--node N] [--seconds S] [--clock realtime|fast] [--json]\n"
    "       orbtool track --recording FILE.orbrec [--environment CODE] [--seconds S] [--json]\n\n"
    "Runs the tracking pipeline on tracker N (default: the scenario's first tracker) of the\n"
    "simulated device network for S simulated seconds (default 20), samples its state every\n"
    "5 ms of simulation time against the simulator's ground truth and prints: time to 3DoF and\n"
    "to 6DoF, share of time per stage after the first 6DoF, position and rotation error in 6DoF\n"
    "(RMS, 95th percentile, maximum), the number of failed optimisations, the optimisation\n"
    "thread's CPU seconds per simulated second, and simulated seconds per wall second.\n"
    "--scenario FILE  scenario JSON (default: the simulator's built-in scenario)\n"
    "--clock          overrides the scenario's clock; fast runs as fast as the pipeline keeps up\n"
    "--json           one JSON object instead of text\n"
    "--recording FILE runs the pipeline on a recorded tracking task instead, as fast as it keeps\n"
    "                 up, for S seconds of the recording (default: all of it); the errors are\n"
    "                 measured against the true poses the file carries (a recording of the\n"
    "                 simulator made by `orbtool record`), and are absent otherwise\n"
    "--environment    the environment code of the recorded tracker (default: the simulator's\n"
    "                 built-in scenario's)\n";

constexpr double sampleStep = 0.005;

double threadCpuSeconds(std::thread::native_handle_type thread) {
#ifdef _WIN32
#ifdef __MINGW32__
    const HANDLE handle = pthread_gethandle(thread);  // MinGW's std::thread runs on winpthreads
#else
    const HANDLE handle = thread;
#endif
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(handle, &creation, &exit, &kernel, &user))
        return 0;
    auto seconds = [](const FILETIME& t) { return (double(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) * 1e-7; };
    return seconds(kernel) + seconds(user);
#else
    clockid_t clock;
    timespec now{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &now) != 0)
        return 0;
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
#endif
}

struct Run {
    uint32_t node = 0;
    bool fast = false;
    double seconds = 0;
    int samples = 0;
    double timeTo3Dof = -1, timeTo6Dof = -1;
    int stageSamples[4] = {0, 0, 0, 0};
    std::vector<double> positionErrorsMm, rotationErrorsDeg;
    std::atomic<int> optimizeFailures{0};
    double optimizerCpu = 0, wallSeconds = 0;
};

std::string jsonNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::string jsonSummary(const ErrorSummary& s) {
    if (s.empty)
        return "null";
    return "{\"rms\": " + jsonNumber(s.rms) + ", \"p95\": " + jsonNumber(s.p95) + ", \"max\": " + jsonNumber(s.max) + "}";
}

void printReport(const Run& run, bool json) {
    int after = 0;
    for (int n : run.stageSamples)
        after += n;
    auto share = [&](int stage) { return after ? double(run.stageSamples[stage]) / after : NAN; };
    const ErrorSummary position = summarise(run.positionErrorsMm);
    const ErrorSummary rotation = summarise(run.rotationErrorsDeg);
    const double cpuPerSimS = run.optimizerCpu / run.seconds;
    const double speed = run.seconds / run.wallSeconds;
    auto optional = [](double v) { return v < 0 ? NAN : v; };
    if (json) {
        std::printf("{\"timeTo3DofS\": %s, \"timeTo6DofS\": %s, \"stageShare\": {",
                    jsonNumber(optional(run.timeTo3Dof)).c_str(), jsonNumber(optional(run.timeTo6Dof)).c_str());
        for (int stage = 0; stage < 4; ++stage)
            std::printf("%s\"%s\": %s", stage ? ", " : "", Orb::Tracking::stageName(stage), jsonNumber(share(stage)).c_str());
        std::printf("}, \"positionErrorMm\": %s, \"rotationErrorDeg\": %s, \"optimizeFailures\": %d, "
                    "\"optimizerCpuPerSimS\": %s, \"speed\": %s}\n",
                    jsonSummary(position).c_str(), jsonSummary(rotation).c_str(), run.optimizeFailures.load(),
                    jsonNumber(cpuPerSimS).c_str(), jsonNumber(speed).c_str());
        return;
    }
    std::printf("orbtool track: node %u, %.3f s simulated on the %s clock, %d samples\n", run.node, run.seconds,
                run.fast ? "fast" : "real-time", run.samples);
    auto time = [](double t) { return t < 0 ? std::string("never") : jsonNumber(t) + " s"; };
    std::printf("time to 3DoF: %s\ntime to 6DoF: %s\n", time(run.timeTo3Dof).c_str(), time(run.timeTo6Dof).c_str());
    if (after) {
        std::printf("share of time after the first 6DoF:");
        for (int stage = 0; stage < 4; ++stage)
            std::printf(" %s %.2f %%%s", Orb::Tracking::stageName(stage), 100 * share(stage), stage < 3 ? "," : "\n");
    }
    auto errors = [](const char* what, const ErrorSummary& s, const char* unit) {
        if (s.empty)
            std::printf("%s in 6DoF: no samples\n", what);
        else
            std::printf("%s in 6DoF: RMS %.4g %s, 95th percentile %.4g %s, max %.4g %s\n", what, s.rms, unit, s.p95,
                        unit, s.max, unit);
    };
    errors("position error", position, "mm");
    errors("rotation error", rotation, "deg");
    std::printf("\"optimize failed by numIterations\": %d\n", run.optimizeFailures.load());
    std::printf("optimisation thread: %.4g CPU seconds per simulated second (%.2f %% of a core in real time)\n",
                cpuPerSimS, 100 * cpuPerSimS);
    std::printf("speed: %.3g simulated seconds per wall second\n", speed);
}

// One sample of the pipeline's state at `elapsed` seconds into the run; `truth` (null when
// unknown) is the true pose the errors are measured against.
void addSample(Run& run, const Orb::Tracking::State& state, const double* truth, double elapsed, bool& reached6Dof) {
    ++run.samples;
    if (state.stabilityStage >= 1 && run.timeTo3Dof < 0)
        run.timeTo3Dof = elapsed;
    if (state.stabilityStage == 2 && run.timeTo6Dof < 0)
        run.timeTo6Dof = elapsed;
    reached6Dof = reached6Dof || state.stabilityStage == 2;
    if (reached6Dof && state.stabilityStage >= 0 && state.stabilityStage < 4)
        ++run.stageSamples[state.stabilityStage];
    if (state.stabilityStage == 2 && truth) {
        const double dx = state.position[0] - truth[0], dy = state.position[1] - truth[1], dz = state.position[2] - truth[2];
        run.positionErrorsMm.push_back(1000.0 * std::sqrt(dx * dx + dy * dy + dz * dz));
        const double estimate[4] = {state.rotation.x, state.rotation.y, state.rotation.z, state.rotation.w};
        run.rotationErrorsDeg.push_back(rotationErrorDegrees(estimate, truth + 3));
    }
}

// `orbtool track --recording FILE`: the pipeline on a recorded tracking task, served by a
// replay network of its own and moved on by the samples' clock as fast as the pipeline keeps up.
int trackRecording(const CommandOptions& options, bool json) {
    TrackRecording source(options.value("recording"));
    const double seconds = options.has("seconds") ? parseFloat(options.value("seconds"), "--seconds") : source.duration();
    if (!(seconds > 0))
        throw std::runtime_error("--seconds: must be positive (the recording holds no packets)");
#ifdef ORBTOOL_SIMULATOR_SCENE
    const std::string code = options.has("environment") ? options.value("environment") : DeviceSimulator::defaultEnvironmentCode();
#else
    const std::string code = options.value("environment");
#endif
    Ref<Orb::Tracking::IEnvironment> environment = Orb::Tracking::createEnvironment(code);
    if (!environment)
        throw std::runtime_error("the environment code names an unknown kind");

    Run run;
    run.node = source.node();
    run.fast = true;
    const DebugLogSink previousSink = setDebugLogSink([&](const std::string& line) {
        if (line == "optimize failed by numIterations")
            ++run.optimizeFailures;
    });
    // The blind period is timed in recording time, as a live run times it in network time.
    Orb::Tracking::TrackingClock clock = [&source] { return int64_t(std::llround(source.now() * 1e9)); };
    auto network = source.network();
    Ref<ITrackingCotask> cotask =
        InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(network, source.node(), environment, clock);
    auto* tracking = static_cast<OrbTracking*>(cotask.get());
    if (!Orb::Tracking::startTrackingTask(*network.get(), source.node(), *tracking))
        throw std::runtime_error("the replay did not start the tracking task");

    const double cpuStart = threadCpuSeconds(tracking->optimizerThreadHandle());
    const auto wallStart = std::chrono::steady_clock::now();
    bool reached6Dof = false;
    for (int k = 1; k * sampleStep <= seconds + 1e-9; ++k) {
        const double t = k * sampleStep;
        source.advanceTo(t);
        tracking->sharedState().waitUntilOptimizerIdle(1.0);
        Orb::Tracking::State state{};
        check(cotask.get(), cotask->readState(0.0f, &state));
        double truth[7];
        addSample(run, state, source.truthAt(t, truth) ? truth : nullptr, t, reached6Dof);
    }
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    run.optimizerCpu = threadCpuSeconds(tracking->optimizerThreadHandle()) - cpuStart;
    run.seconds = seconds;
    cotask.reset();
    setDebugLogSink(previousSink);
    if (!source.hasTruth() && !json)
        std::printf("orbtool track: the recording carries no true pose; no errors are measured\n");
    printReport(run, json);
    return 0;
}

int runTrack(const Arguments& arguments) {
    try {
        CommandOptions options(arguments, 0, {"json"}, {"scenario", "node", "seconds", "clock", "recording", "environment"});
        const bool json = options.has("json");
        if (options.has("recording"))
            return trackRecording(options, json);
        const double seconds = options.has("seconds") ? parseFloat(options.value("seconds"), "--seconds") : 20.0;
        if (!(seconds > 0))
            throw std::runtime_error("--seconds: must be positive");

        const SimulatedTracker simulation(options, sampleStep);
        const auto& tracker = simulation.tracker();
        auto network = simulation.network();
        auto control = simulation.control();
        const bool fastClock = simulation.fastClock();
        auto simulationTime = [&] { return simulation.time(); };
        auto step = [&](double until) { simulation.stepTo(until); };

        Run run;
        run.node = tracker.handle;
        run.fast = fastClock;
        const DebugLogSink previousSink = setDebugLogSink([&](const std::string& line) {
            if (line == "optimize failed by numIterations")
                ++run.optimizeFailures;
        });
        // The blind period is timed in simulation time, so that a fast run behaves as a live one.
        Ref<ITrackingCotask> cotask = InterfaceContract::makeInterfaced<OrbTracking, ITrackingCotask>(
            network, DeviceNetwork::NodeHandle(tracker.handle), simulation.environment(), simulation.trackingClock());
        auto* tracking = static_cast<OrbTracking*>(cotask.get());
        if (!Orb::Tracking::startTrackingTask(*network.get(), tracker.handle, *tracking))
            throw std::runtime_error("the tracking task did not start on node " + std::to_string(tracker.handle));

        const double start = simulationTime();
        const double cpuStart = threadCpuSeconds(tracking->optimizerThreadHandle());
        const auto wallStart = std::chrono::steady_clock::now();
        bool reached6Dof = false;
        for (int k = 1; start + k * sampleStep <= start + seconds + 1e-9; ++k) {
            const double t = start + k * sampleStep;
            step(t);
            if (fastClock)
                tracking->sharedState().waitUntilOptimizerIdle(1.0);
            Orb::Tracking::State state{};
            check(cotask.get(), cotask->readState(0.0f, &state));
            double truth[7];
            check(control.get(), control->getGroundTruth(tracker.handle, simulationTime(), truth));
            if (!tracker.barPoses.empty())
                toLearnedFrame(tracker.barPoses[0], truth);
            addSample(run, state, truth, t - start, reached6Dof);
        }
        run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        run.optimizerCpu = threadCpuSeconds(tracking->optimizerThreadHandle()) - cpuStart;
        run.seconds = seconds;
        // Ends the task: the library lets go of the device side, which stops the optimiser.
        cotask.reset();
        setDebugLogSink(previousSink);
        printReport(run, json);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbtool track: %s\n", e.what());
        return 1;
    }
}

const CommandRegistration registration{"track", "run the tracking pipeline against the simulated network", trackHelp,
                                       runTrack};

} // namespace

} // namespace OrbTool
