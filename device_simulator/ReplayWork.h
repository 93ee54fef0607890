#pragma once
// A task played back from a recording: the recorded device-to-host packets go to the host at
// their recorded times after the task's start (real time on the real-time clock, as the caller
// moves the fast clock on otherwise). With `loop` the recording starts again after its last
// packet; without, the task stays silent after it. Packets from the host are accepted whatever
// their id and size and logged (at most one line per packet id and second), not acted on.
// A tracking recording's optical frames begin with its first frame that holds no delta
// (recording/ReplayStart.h), so that one started mid-task replays cleanly.

#include <memory>

#include "device_simulator/TaskRunner.h"
#include "recording/RecordingFormat.h"

namespace Kestrel::DeviceSimulator {

std::unique_ptr<TaskWork> makeReplayWork(std::shared_ptr<const Recording::Recording> recording, uint32_t node,
                                         double start, bool loop);

} // namespace Kestrel::DeviceSimulator
