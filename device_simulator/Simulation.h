#pragma once
// State shared by everything the simulated network hands out: the scenario, the clock, the
// tracker scenes, the ground-truth file and the task threads.
//
// Lifetime: held (shared) by the library object, every network and every device-side task
// object. Task threads do not hold it; it stops and joins them when it goes. It may go on a
// task thread (the host drops the last task object while that thread releases its
// connection); that thread is then detached instead of joined, and touches nothing of the
// simulation afterwards.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device_simulator/scene/Scenario.h"
#include "device_simulator/scene/TrackerScene.h"
#include "recording/RecordingFormat.h"

namespace Kestrel::DeviceSimulator {

class TaskRunner;

class Simulation {
public:
    explicit Simulation(Scenario scenario);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    const Scenario& scenario() const { return scenario_; }
    bool fastClock() const { return scenario_.clock == ClockKind::Fast; }
    double now() const;
    // Fast clock: time moves on by `seconds`; returns when every running task has caught up.
    void advance(double seconds);

    // The scene of a tracker of the scenario, or null.
    const TrackerScene* tracker(uint32_t handle) const;
    // The recording a tracker plays back, or null for a simulated one.
    std::shared_ptr<const Recording::Recording> replay(uint32_t handle) const;

    // Starts the thread of a runner; finished runners' threads are joined here.
    void start(const std::shared_ptr<TaskRunner>& runner);
    uint32_t runningTaskCount() const;

    void writeGroundTruth(double time, uint32_t node, const Pose& pose);

    // Guards the clock of a fast run, every runner's inbox and flags; `changed` wakes them.
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;                       // under `mutex`
    double fastTime() const { return fastNow_.load(); }  // changed under `mutex`

private:
    Scenario scenario_;
    std::chrono::steady_clock::time_point origin_;
    std::atomic<double> fastNow_{0.0};
    std::map<uint32_t, std::unique_ptr<TrackerScene>> trackers_;
    std::map<uint32_t, std::shared_ptr<const Recording::Recording>> replays_;
    std::vector<std::pair<std::shared_ptr<TaskRunner>, std::thread>> runners_;  // under `mutex`
    std::mutex groundTruthMutex_;
    std::ofstream groundTruth_;
};

// The simulation of the scenario named by KESTREL_SIMULATION (or the default). A scenario that
// cannot be used gives one debug-log line and a simulation without devices.
std::shared_ptr<Simulation> createSimulation();

} // namespace Kestrel::DeviceSimulator
