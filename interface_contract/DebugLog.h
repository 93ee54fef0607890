#pragma once
// The debug log: a text stream whose finished lines go to the platform's debug output
// (the debugger on Windows, stderr elsewhere). Tests replace the sink and read the lines.
//
//     debugLog() << "Failed to set exposure " << value << '\n';   // or
//     logLine() << "Failed to set exposure " << value;            // line ends with the statement
//
// Text is collected per thread until a '\n' finishes the line, so lines of different threads
// never interleave. The sink is called with the line without its terminator.
//
// The platform output (no sink set) writes a line that repeats at most once a second, with the
// number of copies left out (RepeatedLineLimiter), and nothing at all when the environment
// variable KESTREL_DEBUG_LOG is "0" or "off".

#include <functional>
#include <sstream>
#include <string>
#include <string_view>

namespace Kestrel {

using DebugLogSink = std::function<void(const std::string& line)>;

// Environment variable that silences the platform output with "0" or "off".
constexpr const char* debugLogVariable = "KESTREL_DEBUG_LOG";

// Replaces the sink (null restores the platform sink); returns the previous one.
DebugLogSink setDebugLogSink(DebugLogSink sink);

class DebugLog {
public:
    // Appends text; every '\n' hands the line collected so far to the sink.
    void write(std::string_view text);

    template <class T>
    DebugLog& operator<<(const T& value) {
        std::ostringstream stream;
        stream << value;
        write(stream.str());
        return *this;
    }
};

DebugLog& debugLog();

// One line that is finished when the object goes away.
class LogLine {
public:
    LogLine() = default;
    LogLine(const LogLine&) = delete;
    ~LogLine();
    template <class T>
    LogLine& operator<<(const T& value) {
        stream_ << value;
        return *this;
    }

private:
    std::ostringstream stream_;
};

inline LogLine logLine() { return {}; }

} // namespace Kestrel
