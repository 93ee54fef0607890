#include "device_simulator/Simulation.h"

#include <cmath>
#include <iomanip>
#include <stdexcept>

#include "device_simulator/EnvironmentMarkers.h"
#include "device_simulator/SimulatedCamera.h"
#include "device_simulator/TaskRunner.h"
#include "interface_contract/DebugLog.h"
#include "recording/RecordingReader.h"

namespace Kestrel::DeviceSimulator {

Simulation::Simulation(Scenario scenario) : scenario_(std::move(scenario)), origin_(std::chrono::steady_clock::now()) {
    std::shared_ptr<const CameraModel> camera = simulatedCamera();
    for (size_t i = 0; i < scenario_.devices.size(); ++i) {
        ScenarioDevice& d = scenario_.devices[i];
        if (d.kind != DeviceKind::Tracker)
            continue;
        std::vector<Vec3> markers;
        try {
            markers = environmentMarkers(d.environment, d.barPoses);
        } catch (const std::exception& e) {
            throw ScenarioError("devices[" + std::to_string(i) + "].environment: " + e.what());
        }
        try {
            resolveCoveredMarkers(d.environment, d.faults.covered);
            for (const CoveredMarker& c : d.faults.covered)
                if (c.index >= int64_t(markers.size()))
                    throw std::runtime_error("marker " + std::to_string(c.index) + " is not one of the " +
                                             std::to_string(markers.size()) + " markers");
        } catch (const std::exception& e) {
            throw ScenarioError("devices[" + std::to_string(i) + "].faults.covered: " + e.what());
        }
        if (!d.replay.empty()) {
            try {
                replays_.emplace(d.handle, std::make_shared<const Recording::Recording>(
                                               Recording::readRecordingFile(d.replay)));
            } catch (const std::exception& e) {
                throw ScenarioError("devices[" + std::to_string(i) + "].replay: " + e.what());
            }
        }
        // Each tracker moves on its own seed so that two trackers never move alike.
        trackers_.emplace(d.handle, std::make_unique<TrackerScene>(d, scenario_.seed * 1000003u + d.handle,
                                                                    std::move(markers), camera));
    }
    if (!scenario_.groundTruthCsv.empty()) {
        groundTruth_.open(scenario_.groundTruthCsv, std::ios::out | std::ios::trunc);
        if (!groundTruth_)
            throw ScenarioError("groundTruthCsv: cannot write " + scenario_.groundTruthCsv);
        groundTruth_ << "time,node,x,y,z,qx,qy,qz,qw\n" << std::setprecision(9);
    }
}

Simulation::~Simulation() {
    std::vector<std::pair<std::shared_ptr<TaskRunner>, std::thread>> runners;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        changed.notify_all();
        runners.swap(runners_);
    }
    for (auto& [runner, thread] : runners) {
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else if (thread.joinable())
            thread.join();
    }
}

double Simulation::now() const {
    if (fastClock())
        return fastNow_.load();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

void Simulation::advance(double seconds) {
    if (!fastClock())
        throw std::runtime_error("The simulation runs in real time and cannot be advanced");
    if (!(seconds >= 0) || !std::isfinite(seconds))
        throw std::invalid_argument("advance: invalid step " + std::to_string(seconds));
    std::unique_lock<std::mutex> lock(mutex);
    fastNow_.store(fastNow_.load() + seconds);
    changed.notify_all();
    changed.wait(lock, [&] {
        for (auto& [runner, thread] : runners_)
            if (!runner->finished() && runner->progress() < fastNow_)
                return false;
        return true;
    });
}

const TrackerScene* Simulation::tracker(uint32_t handle) const {
    auto found = trackers_.find(handle);
    return found == trackers_.end() ? nullptr : found->second.get();
}

std::shared_ptr<const Recording::Recording> Simulation::replay(uint32_t handle) const {
    auto found = replays_.find(handle);
    return found == replays_.end() ? nullptr : found->second;
}

void Simulation::start(const std::shared_ptr<TaskRunner>& runner) {
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = runners_.begin(); it != runners_.end();) {
            if (it->first->finished()) {
                done.push_back(std::move(it->second));
                it = runners_.erase(it);
            } else {
                ++it;
            }
        }
        runners_.emplace_back(runner, std::thread([runner] { runner->run(); }));
    }
    for (std::thread& thread : done)
        thread.join();
}

uint32_t Simulation::runningTaskCount() const {
    auto& self = const_cast<Simulation&>(*this);
    std::lock_guard<std::mutex> lock(self.mutex);
    uint32_t count = 0;
    for (auto& [runner, thread] : runners_)
        count += runner->finished() ? 0 : 1;
    return count;
}

void Simulation::writeGroundTruth(double time, uint32_t node, const Pose& pose) {
    std::lock_guard<std::mutex> lock(groundTruthMutex_);
    if (!groundTruth_.is_open())
        return;
    const Vec3& p = pose.position;
    const Quat& q = pose.rotation;
    groundTruth_ << time << ',' << node << ',' << p[0] << ',' << p[1] << ',' << p[2] << ',' << q.x << ',' << q.y << ','
                 << q.z << ',' << q.w << '\n';
    groundTruth_.flush();
}

std::shared_ptr<Simulation> createSimulation() {
    Scenario scenario = loadScenario();
    try {
        return std::make_shared<Simulation>(scenario);
    } catch (const std::exception& e) {
        const char* path = std::getenv("KESTREL_SIMULATION");
        logLine() << "KestrelDeviceNetwork: invalid scenario " << (path && *path ? path : "(built-in)") << ": "
                  << e.what();
        return std::make_shared<Simulation>(Scenario{});
    }
}

} // namespace Kestrel::DeviceSimulator
