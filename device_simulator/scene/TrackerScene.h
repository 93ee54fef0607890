#pragma once
// One simulated tracker in its room: its motion, the markers of its environment, the fixed
// reflections in the markers' plane, the lamps and covered markers of its faults, its camera,
// and what the camera sees at a moment.
// Immutable after construction, so every task of the tracker and the ground-truth queries can
// read it from their own threads.

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "device_simulator/scene/CameraModel.h"
#include "device_simulator/scene/Scenario.h"
#include "device_simulator/scene/Trajectory.h"

namespace Kestrel::DeviceSimulator {

// A light blob on the sensor.
struct Blob {
    int64_t identity = -1;   // marker index, 1000000 + reflection index, 2000000 + lamp index,
                             // or -1 for a spurious blob
    Pixel pixel;
    double distance = 0;     // metres from the camera centre
    double value = 0;        // tracking-stream blob value (decoded units)
    double peak = 0;         // peak brightness in the camera image, 0..255 before clipping
    double sigma = 1;        // blob radius parameter in the image, pixels
};

constexpr int64_t reflectionIdentityBase = 1000000;
constexpr int defaultExposure = 10;

class TrackerScene {
public:
    // `markers`: marker positions of the tracker's environment (environment coordinates).
    // `camera` may be null: the tracker then sees nothing. Covered markers of the faults must be
    // given by index (resolveCoveredMarkers); an index beyond `markers` throws
    // std::invalid_argument.
    TrackerScene(const ScenarioDevice& config, uint64_t seed, std::vector<Vec3> markers,
                 std::shared_ptr<const CameraModel> camera);

    const ScenarioDevice& config() const { return spec_; }
    const Trajectory& trajectory() const { return *trajectory_; }
    const CameraModel* camera() const { return camera_.get(); }
    const std::vector<Vec3>& markers() const { return markers_; }
    const std::vector<Vec3>& reflections() const { return reflections_; }
    const FaultSchedule& faults() const { return faults_; }

    Pose poseAt(double t) const { return trajectory_->poseAt(t); }
    // Sensor temperature at time t: a slow drift around 35 degrees Celsius.
    float temperatureAt(double t) const;

    // Exact (noise-free) blobs of the markers (less the covered ones), reflections and lamps
    // (those shining) at time t.
    std::vector<Blob> idealBlobs(double t, float temperature, int exposure) const;
    // Whether an occluder hides pixel p at time t. At most one occluder per whole second
    // (chance `occlusion`): it covers a disk of 80 to 160 px for 0.2 to 0.6 s, so the blobs
    // under it vanish and come back together. A pure function of the seed and the time.
    bool occluded(const Pixel& p, double t) const;
    // What one frame shows: ideal blobs minus occluded ones, with centroid noise, dropouts and
    // spurious blobs drawn from `random`.
    std::vector<Blob> frameBlobs(double t, float temperature, int exposure, std::mt19937_64& random) const;

private:
    ScenarioDevice spec_;
    std::unique_ptr<Trajectory> trajectory_;
    std::vector<Vec3> markers_;
    std::vector<Vec3> reflections_;
    std::vector<bool> covered_;  // per marker
    std::shared_ptr<const CameraModel> camera_;
    uint64_t seed_;
    FaultSchedule faults_;
};

} // namespace Kestrel::DeviceSimulator
