#pragma once
// The CPU time the calling thread has used so far, in nanoseconds. Measures the work a tick does
// apart from the time the thread waited or was descheduled in favour of other threads.

#include <cstdint>

namespace TrackingDebug {

int64_t threadCpuNanoseconds();

} // namespace TrackingDebug
