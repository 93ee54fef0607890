#pragma once
// Where the replay of a tracking-task recording may begin its optical frames.
//
// The tracker sends each optical frame as a frame start (id 0) followed by point packets
// (ids 7..25), either as full points (ids 7..14) or as deltas against the points of the
// previous frame (ids 15..25). A recording started while the task already ran begins inside
// such a chain: its first frames refer to points that were never recorded, and a host would
// drop them ("Invalid stream sequence!!!") or rebuild points from the wrong frame. The file
// keeps those packets exactly as the device sent them; it is the replay that leaves out the
// optical packets before the first frame that holds no delta. Inertial and temperature
// packets are never left out.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recording/RecordingFormat.h"

namespace Kestrel::Recording {

// A frame start or a point packet of the tracking task.
bool isOpticalPacket(uint8_t id);

// Index into `records` of the first device-to-host frame start whose frame (up to the next
// device-to-host frame start or the end) holds no delta packet; records.size() when there is
// none. Point packets before the first frame start belong to a frame whose start was not
// recorded and are never a beginning.
size_t firstSelfContainedFrame(const std::vector<Record>& records);

} // namespace Kestrel::Recording
