#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "interface_contract/DebugLog.h"
#include "interface_contract/KestrelMath.h"
#include "interface_contract/RepeatedLineLimiter.h"

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

namespace {
using Lines = std::vector<std::string>;
struct LimiterClock {
    std::chrono::steady_clock::time_point now{};
    void advanceMs(int ms) { now += std::chrono::milliseconds(ms); }
};
} // namespace

TEST(RepeatedLineLimiter, ARepeatedLineIsWrittenOnceASecondWithTheCountLeftOut) {
    LimiterClock clock;
    Kestrel::RepeatedLineLimiter limiter([&] { return clock.now; });
    EXPECT_EQ(Lines{"gyroscope overflow"}, limiter.admit("gyroscope overflow"));
    // 2000 a second: the next 1999 within the second are held back; other texts are not.
    for (int i = 1; i < 2000; ++i) {
        if (i == 1000) {
            EXPECT_EQ(Lines{"poll failed"}, limiter.admit("poll failed"));
        }
        clock.now += std::chrono::microseconds(500);
        EXPECT_EQ(Lines{}, limiter.admit("gyroscope overflow")) << i;
    }
    clock.now += std::chrono::microseconds(500);  // one second after the first
    EXPECT_EQ(Lines{"gyroscope overflow (1999 repeats left out)"}, limiter.admit("gyroscope overflow"));
    clock.advanceMs(999);
    EXPECT_EQ(Lines{}, limiter.admit("gyroscope overflow"));
    clock.advanceMs(1);  // exactly one second after the last written copy
    EXPECT_EQ(Lines{"gyroscope overflow (1 repeat left out)"}, limiter.admit("gyroscope overflow"));
}

TEST(RepeatedLineLimiter, ACountLeftOpenIsWrittenWithTheNextLineAfterItsSecond) {
    LimiterClock clock;
    Kestrel::RepeatedLineLimiter limiter([&] { return clock.now; });
    for (int i = 0; i < 4; ++i) {
        limiter.admit("tick failed");
        clock.advanceMs(17);
    }
    EXPECT_EQ(Lines{"other"}, limiter.admit("other"));  // within the second: still open
    clock.advanceMs(1000);
    // One held-back copy is written, standing for itself and the two others.
    EXPECT_EQ((Lines{"tick failed (2 repeats left out)", "later"}), limiter.admit("later"));
    clock.advanceMs(1000);
    EXPECT_EQ(Lines{"tick failed"}, limiter.admit("tick failed"));
}

TEST(RepeatedLineLimiter, TextsBeyondTheTrackedOnesAreNeverHeldBack) {
    LimiterClock clock;
    Kestrel::RepeatedLineLimiter limiter([&] { return clock.now; });
    for (std::size_t i = 0; i < Kestrel::RepeatedLineLimiter::maximumTracked; ++i)
        limiter.admit("line " + std::to_string(i));
    EXPECT_EQ(Lines{"untracked"}, limiter.admit("untracked"));
    EXPECT_EQ(Lines{"untracked"}, limiter.admit("untracked"));
    EXPECT_EQ(Lines{}, limiter.admit("line 0"));
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
