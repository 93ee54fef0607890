#include "viewers/ThreadCpuTime.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace TrackingDebug {

int64_t threadCpuNanoseconds() {
#ifdef _WIN32
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME& t) { return (int64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) * 100;  // 100 ns units
#else
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return 0;
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
#endif
}

} // namespace TrackingDebug
