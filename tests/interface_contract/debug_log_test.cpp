#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "interface_contract/DebugLog.h"
#include "interface_contract/KestrelMath.h"

namespace {
struct CapturedLog {
    std::mutex mutex;
    std::vector<std::string> lines;
    Kestrel::DebugLogSink previous;
    CapturedLog() {
        previous = Kestrel::setDebugLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(line);
        });
    }
    ~CapturedLog() { Kestrel::setDebugLogSink(previous); }
};
} // namespace

TEST(DebugLog, FinishedLinesReachTheSink) {
    CapturedLog log;
    Kestrel::debugLog() << "Failed to set " << "exposure";
    EXPECT_TRUE(log.lines.empty());
    Kestrel::debugLog() << '\n' << "two\nthree " << 3 << '\n';
    Kestrel::logLine() << "Assert: " << 1.5;
    EXPECT_EQ((std::vector<std::string>{"Failed to set exposure", "two", "three 3", "Assert: 1.5"}), log.lines);
}

TEST(DebugLog, LinesOfThreadsNeverInterleave) {
    CapturedLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i)
                Kestrel::debugLog() << "thread " << t << " line " << i << '\n';
        });
    for (auto& t : threads)
        t.join();
    ASSERT_EQ(2000u, log.lines.size());
    for (const auto& line : log.lines)
        EXPECT_EQ(0u, line.rfind("thread ", 0)) << line;
}

#ifdef _WIN32
namespace {
// OutputDebugStringA hands its text to a debugger by raising DBG_PRINTEXCEPTION_C (argument 0
// the length with the terminator, 1 the text); a vectored handler sees it before the call's own
// handler swallows it.
std::vector<std::string>* debuggerOutput = nullptr;
LONG CALLBACK catchDebuggerOutput(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (debuggerOutput && record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2)
        debuggerOutput->push_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_SEARCH;
}
} // namespace

// The platform sink: one debugger-output call per finished line, ended by "\r\n".
TEST(DebugLog, WindowsLinesGoToTheDebuggerOutput) {
    std::vector<std::string> seen;
    debuggerOutput = &seen;
    void* handler = AddVectoredExceptionHandler(1, catchDebuggerOutput);
    ASSERT_TRUE(handler);
    const Kestrel::DebugLogSink previous = Kestrel::setDebugLogSink(nullptr);
    Kestrel::debugLog() << "first half, ";
    Kestrel::debugLog() << "second half\nnext line\r\n";
    Kestrel::setDebugLogSink(previous);
    RemoveVectoredExceptionHandler(handler);
    debuggerOutput = nullptr;
    EXPECT_EQ((std::vector<std::string>{"first half, second half\r\n", "next line\r\n"}), seen);
}
#endif

TEST(KestrelMath, QuaternionRotatesAndComposes) {
    using namespace KestrelMath;
    const double pi = 3.14159265358979323846;
    auto turnZ = quaternion<double>::fromAxisAngle({{0, 0, 1}}, pi / 2);
    vector3<double> x{{1, 0, 0}};
    auto y = turnZ.rotate(x);
    EXPECT_NEAR(0, y[0], 1e-15);
    EXPECT_NEAR(1, y[1], 1e-15);
    auto half = (turnZ * turnZ).rotate(x);
    EXPECT_NEAR(-1, half[0], 1e-15);
    auto back = turnZ.conjugate().rotate(y);
    EXPECT_NEAR(1, back[0], 1e-15);
    EXPECT_EQ((vector3<double>{{0, 0, 1}}), cross(x, vector3<double>{{0, 1, 0}}));
    EXPECT_DOUBLE_EQ(5.0, length(vector2<double>{{3, 4}}));
    auto r = quaternion<double>::fromRotationVector({{0, 0, 0}});
    EXPECT_EQ(quaternion<double>::identity(), r);
}
