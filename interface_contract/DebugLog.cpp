#include "interface_contract/DebugLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "interface_contract/RepeatedLineLimiter.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace Kestrel {

namespace {

void platformSink(const std::string& line) {
#ifdef _WIN32
    OutputDebugStringA((line + "\r\n").c_str());
#else
    std::fprintf(stderr, "%s\n", line.c_str());
#endif
}

struct SinkHolder {
    std::mutex mutex;
    DebugLogSink sink;
    RepeatedLineLimiter limiter;
};

SinkHolder& holder() {
    static SinkHolder* instance = new SinkHolder;
    return *instance;
}

// The platform output is silenced by KESTREL_DEBUG_LOG=0 or =off (read at the first line), so
// that a command-line tool can keep the libraries' diagnostics off its standard error.
bool platformOutputEnabled() {
    static const bool enabled = [] {
        const char* setting = std::getenv(debugLogVariable);
        return !setting || (std::strcmp(setting, "0") != 0 && std::strcmp(setting, "off") != 0);
    }();
    return enabled;
}

// A line that repeats reaches the platform output at most once a second, with the count of
// the copies left out; a sink set by a test sees every line.
void writeToPlatform(SinkHolder& h, const std::string& line) {
    if (!platformOutputEnabled())
        return;
    for (const std::string& admitted : h.limiter.admit(line))
        platformSink(admitted);
}

void emitLine(const std::string& line) {
    SinkHolder& h = holder();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (h.sink)
        h.sink(line);
    else
        writeToPlatform(h, line);
}

} // namespace

DebugLogSink setDebugLogSink(DebugLogSink sink) {
    SinkHolder& h = holder();
    std::lock_guard<std::mutex> lock(h.mutex);
    std::swap(h.sink, sink);
    return sink;
}

void DebugLog::write(std::string_view text) {
    thread_local std::string pending;
    for (char c : text) {
        if (c == '\n') {
            emitLine(pending);
            pending.clear();
        } else if (c != '\r') {
            pending.push_back(c);
        }
    }
}

DebugLog& debugLog() {
    static DebugLog log;
    return log;
}

LogLine::~LogLine() {
    stream_ << '\n';
    debugLog().write(stream_.str());
}

} // namespace Kestrel
