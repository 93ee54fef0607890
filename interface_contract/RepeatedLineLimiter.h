#pragma once
// Keeps a debug-log line that repeats from flooding the output: each distinct text is written
// at most once per interval (one second), and the copies held back meanwhile are counted.
//
//     gyroscope overflow                              written
//     gyroscope overflow                              held back (x 1999 within the second)
//     gyroscope overflow (1999 repeats left out)      the first copy after the second is over
//
// A count still open when its line stops repeating is written with the next line of any text
// that comes after its interval: that copy stands for the last one held back, so every copy is
// either written or counted. Not thread-safe: the debug log calls it under its sink mutex.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Kestrel {

class RepeatedLineLimiter {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds defaultInterval{1000};
    // Texts followed at once; beyond them a new text is written every time (never held back).
    static constexpr std::size_t maximumTracked = 64;

    explicit RepeatedLineLimiter(Clock clock = &std::chrono::steady_clock::now,
                                 std::chrono::milliseconds interval = defaultInterval);

    // The lines to write now because `line` came, in order (often just `line`, or nothing).
    std::vector<std::string> admit(const std::string& line);

private:
    struct Entry {
        std::chrono::steady_clock::time_point written;
        uint64_t leftOut = 0;
    };
    static std::string withCount(const std::string& line, uint64_t leftOut);

    Clock clock_;
    std::chrono::steady_clock::duration interval_;
    std::unordered_map<std::string, Entry> entries_;
};

} // namespace Kestrel
