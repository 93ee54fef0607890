#pragma once
// A tracker of the simulated device network, for the commands that run the pipeline headless
// (track, health): the scenario (--scenario FILE or the built-in one, --clock), the tracker
// (--node N or the scenario's first), the network loaded with that scenario, and the
// simulation's clock, moved on by step(). The constructor waits until the tracker is plugged.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "CommandOptions.h"
#include "DeviceNetworkOpening.h"
#include "EnvironmentVariable.h"
#include "TemporaryFolder.h"
#include "TrackScenario.h"
#include "device_simulator/SimulationControl.h"
#include "device_simulator/scene/Scenario.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/runtime/pipeline/SharedTrackingState.h"

namespace OrbTool {

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class SimulatedTracker {
public:
    // Reads --scenario, --clock and --node of `options`; `step` is the time step of the wait
    // for the tracker to be plugged.
    SimulatedTracker(const CommandOptions& options, double step) {
        using namespace Kestrel;
        using namespace Kestrel::DeviceSimulator;
        scenario_ = options.has("scenario")
                        ? parseScenario(readFile(options.value("scenario")),
                                        std::filesystem::absolute(options.value("scenario")).parent_path().string())
                        : defaultScenario();
        if (options.has("clock")) {
            const std::string clock = options.value("clock");
            if (clock != "realtime" && clock != "fast")
                throw std::runtime_error("--clock: expected realtime or fast, not '" + clock + "'");
            scenario_.clock = clock == "fast" ? ClockKind::Fast : ClockKind::RealTime;
        }
        const uint32_t wanted = options.has("node") ? uint32_t(parseUnsigned(options.value("node"), "--node", 0xFFFFFFFFu)) : 0;
        for (const ScenarioDevice& d : scenario_.devices)
            if (d.kind == DeviceKind::Tracker && (wanted == 0 || d.handle == wanted)) {
                tracker_ = &d;
                break;
            }
        if (!tracker_)
            throw std::runtime_error(wanted ? "node " + std::to_string(wanted) + " is not a tracker of the scenario"
                                            : std::string("the scenario has no tracker"));

        // The simulated network reads its scenario when it is loaded.
        const std::filesystem::path scenarioPath = folder_.path() / "scenario.json";
        std::ofstream(scenarioPath, std::ios::binary) << scenarioJson(scenario_);
        setEnvironmentVariable("KESTREL_SIMULATION", scenarioPath.string());

        connection_ = openDeviceNetwork();
        control_ = connection_.library.query<DeviceSimulator::ISimulationControl>();
        if (!control_)
            throw std::runtime_error("KestrelDeviceNetwork is not the simulated network");
        environment_ = Orb::Tracking::createEnvironment(tracker_->environment);
        if (!environment_)
            throw std::runtime_error("the tracker's environment code names an unknown kind");
        InterfaceContract::Boolean fast = InterfaceContract::BooleanFalse;
        InterfaceContract::check(control_.get(), control_->isFastClock(&fast));
        fastClock_ = fast;

        const double plugDeadline = tracker_->plugAt + 5.0;
        for (;;) {
            std::vector<uint32_t> nodes;
            InterfaceContract::OutArray out = InterfaceContract::outArray(nodes);
            InterfaceContract::check(network().get(), network()->getNodes(&out));
            if (std::find(nodes.begin(), nodes.end(), tracker_->handle) != nodes.end())
                break;
            if (time() > plugDeadline)
                throw std::runtime_error("node " + std::to_string(tracker_->handle) +
                                         " did not appear (the simulated network logs why: orbtool --verbose ...)");
            stepTo(time() + step);
        }
    }

    const Kestrel::DeviceSimulator::ScenarioDevice& tracker() const { return *tracker_; }
    uint32_t node() const { return tracker_->handle; }
    bool fastClock() const { return fastClock_; }
    const Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::INodeNetwork>& network() const {
        return connection_.network;
    }
    const Kestrel::InterfaceContract::Ref<Kestrel::DeviceSimulator::ISimulationControl>& control() const { return control_; }
    const Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment>& environment() const { return environment_; }

    // Simulation time, seconds.
    double time() const {
        double t = 0;
        Kestrel::InterfaceContract::check(control_.get(), control_->getTime(&t));
        return t;
    }
    // Moves the fast clock on to `until`, or waits for the real-time clock to pass it.
    void stepTo(double until) const {
        if (fastClock_) {
            const double now = time();
            if (until > now)
                Kestrel::InterfaceContract::check(control_.get(), control_->advance(until - now));
        } else {
            while (time() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // The simulation's clock in nanoseconds, for the tracking's blind period and the health
    // analysis, so that a fast run behaves as a live one.
    Kestrel::Orb::Tracking::TrackingClock trackingClock() const {
        return [c = control_] {
            double t = 0;
            c->getTime(&t);
            return int64_t(std::llround(t * 1e9));
        };
    }

private:
    Kestrel::DeviceSimulator::Scenario scenario_;
    const Kestrel::DeviceSimulator::ScenarioDevice* tracker_ = nullptr;
    TemporaryFolder folder_;
    DeviceNetworkConnection connection_;
    Kestrel::InterfaceContract::Ref<Kestrel::DeviceSimulator::ISimulationControl> control_;
    Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment> environment_;
    bool fastClock_ = false;
};

} // namespace OrbTool
