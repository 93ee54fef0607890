#include "interface_contract/DebugLog.h"

#include <cstdio>
#include <mutex>

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
};

SinkHolder& holder() {
    static SinkHolder* instance = new SinkHolder;
    return *instance;
}

void emitLine(const std::string& line) {
    SinkHolder& h = holder();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (h.sink)
        h.sink(line);
    else
        platformSink(line);
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
