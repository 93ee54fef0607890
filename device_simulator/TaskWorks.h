#pragma once
// The two tasks a simulated tracker runs, as TaskWork for a TaskRunner.

#include <memory>

#include "device_simulator/TaskRunner.h"
#include "device_simulator/scene/DebugView.h"
#include "device_simulator/scene/TrackerScene.h"

namespace Kestrel::DeviceSimulator {

class Simulation;

// Tracking task: the stream of TrackingStream. Host packets: 9 (4 bytes) sets the exposure;
// 10 (4 bytes) and 13 (1 byte) are accepted and have no effect on a simulated tracker.
std::unique_ptr<TaskWork> makeTrackingWork(Simulation& simulation, const TrackerScene& scene, uint32_t node,
                                           double start, uint64_t seed);

// Debug task. Host packets: 4 (ConfigRecord) sets a value; 5 (ConfigRecord) asks for one and is
// answered by 4 and 11; 12 asks for an image (answered by 8... and 9); 13 asks for the point
// list (10 per point, then 11); 1, 2, 3 (4 bytes), 17 (none) and 19 (16 bytes) are accepted and
// ignored.
std::unique_ptr<TaskWork> makeDebugWork(const TrackerScene& scene, uint64_t seed);

} // namespace Kestrel::DeviceSimulator
