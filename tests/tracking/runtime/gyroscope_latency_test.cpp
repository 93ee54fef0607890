#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tracking/runtime/device_tasks/GrowOutsideLock.h"
#include "tracking/runtime/device_tasks/GyroscopeLatency.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"

using namespace Kestrel::InterfaceContract;
using namespace Kestrel::Orb::Tracking;
namespace TrackingTask = Kestrel::DeviceNetwork::Tasks::Orb::Tracking;
using Vec3f = KestrelMath::vector3<float>;

namespace {

// The default calibration: identity sensor matrices, principal point (320.5, 240.5), f = 400,
// no distortion, xi = 0. So a raw gyroscope axis r reads r / 32768 degrees and the pixel
// (320.5 + 100, 240.5) is the normalized point (0.25, 0) with the unit ray (0.25, 0, sqrt(0.9375)).
struct Recorder {
    GyroscopeLatency* task = new GyroscopeLatency(GeometrySettings{}, fallbackMaximumViewAngle);
    Ref<Kestrel::DeviceNetwork::ICotask> viewer = Ref<Kestrel::DeviceNetwork::ICotask>::share(task);

    void gyro(int16_t x, int16_t y, int16_t z) {
        TrackingTask::InertialSample s{x, y, z};
        ASSERT_EQ(0u, task->gyroscopeReceived(&s));
    }
    void accel(int16_t x, int16_t y, int16_t z) {
        TrackingTask::InertialSample s{x, y, z};
        ASSERT_EQ(0u, task->accelerometerReceived2g(&s));
    }
    void frame() { ASSERT_EQ(0u, task->beginFrame()); }
    void point(float x, float y) {
        TrackingTask::OpticalPoint p{100, x, y};
        ASSERT_EQ(0u, task->pointReceived(&p));
    }
    std::vector<Vec3f> gyroscopeList() {
        return task->withRecordings([](const auto& g, const auto&) { return g; });
    }
    std::vector<GyroscopeLatency::FrameEntry> frameList() {
        return task->withRecordings([](const auto&, const auto& f) { return f; });
    }
};

const float rayZ = 0.968245837f;  // sqrt(1 - 0.25^2)

} // namespace

TEST(GyroscopeLatency, NothingIsRecordedOutsideARecording) {
    Recorder r;
    r.gyro(100, 0, 0);
    r.frame();
    r.point(420.5f, 240.5f);
    EXPECT_TRUE(r.gyroscopeList().empty());
    EXPECT_TRUE(r.frameList().empty());
    EXPECT_FALSE(r.task->recording());
}

TEST(GyroscopeLatency, GyroscopeEntriesAreTheRunningSum) {
    Recorder r;
    r.task->startRecording();
    r.gyro(16384, -8192, 3277);
    r.gyro(16384, 0, 0);
    r.accel(1000, 2000, 3000);  // never recorded
    auto list = r.gyroscopeList();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ((Vec3f{{0.5f, -0.25f, 3277.0f / 32768.0f}}), list[0]);
    EXPECT_EQ((Vec3f{{1.0f, -0.25f, 3277.0f / 32768.0f}}), list[1]);
    EXPECT_TRUE(r.frameList().empty());
}

TEST(GyroscopeLatency, FramesKeepTheLastRayAndCountTheirPoints) {
    Recorder r;
    r.task->startRecording();
    r.point(420.5f, 240.5f);  // before the first frame: ignored
    r.frame();                // a frame without points
    r.frame();
    r.point(420.5f, 240.5f);
    r.point(320.5f, 140.5f);  // normalized (0, 0.25)
    r.point(320.5f, 2.0f);    // dropped before undistortion (row < 5): not counted
    auto frames = r.frameList();
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(0, frames[0].rayCount);
    EXPECT_EQ((Vec3f{}), frames[0].direction);
    EXPECT_EQ(1, frames[0].frameNumber);
    EXPECT_EQ(2, frames[1].rayCount);
    EXPECT_NEAR(0.0f, frames[1].direction.x(), 1e-7f);
    EXPECT_NEAR(0.25f, frames[1].direction.y(), 1e-6f);
    EXPECT_NEAR(rayZ, frames[1].direction.z(), 1e-6f);
    EXPECT_EQ(1, frames[1].frameNumber);  // nothing advances the counter within a recording
}

TEST(GyroscopeLatency, ASecondRecordingContinuesTheListsAndRestartsTheSum) {
    Recorder r;
    r.task->startRecording();
    r.gyro(16384, 0, 0);
    r.frame();
    r.point(420.5f, 240.5f);
    r.task->stopRecording();
    r.gyro(16384, 0, 0);  // not recording
    r.frame();
    r.task->startRecording();
    r.point(320.5f, 140.5f);  // before this recording's first frame: the old entry stays
    r.gyro(8192, 0, 0);
    auto list = r.gyroscopeList();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(0.5f, list[0].x());
    EXPECT_EQ(0.25f, list[1].x());
    auto frames = r.frameList();
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(1, frames[0].rayCount);
    EXPECT_NEAR(0.25f, frames[0].direction.x(), 1e-6f);
}

TEST(GyroscopeLatency, TimelinePutsFramesOnTheSampleAxisAndMarksEachRecording) {
    Recorder r;
    r.task->startRecording();
    r.frame();  // before any gyroscope entry
    r.gyro(1, 0, 0);
    r.gyro(1, 0, 0);
    r.frame();  // after two entries
    r.task->stopRecording();
    r.gyro(1, 0, 0);  // not recorded
    r.frame();
    r.task->startRecording();
    r.gyro(1, 0, 0);
    r.frame();
    auto timeline = r.task->withTimeline([](const auto& g, const auto& f, const auto& t) {
        EXPECT_EQ(3u, g.size());
        EXPECT_EQ(3u, f.size());
        return t;
    });
    EXPECT_EQ((std::vector<size_t>{0, 2, 3}), timeline.frameSample);
    ASSERT_EQ(2u, timeline.starts.size());
    EXPECT_EQ(0u, timeline.starts[0].gyroscope);
    EXPECT_EQ(0u, timeline.starts[0].frames);
    EXPECT_EQ(2u, timeline.starts[1].gyroscope);
    EXPECT_EQ(2u, timeline.starts[1].frames);
}

TEST(GyroscopeLatency, ListsAreReadWhileTheDeviceThreadAppends) {
    Recorder r;
    r.task->startRecording();
    std::atomic<bool> done{false};
    std::thread device([&] {
        for (int i = 0; i < 20000; ++i) {
            r.gyro(1, 0, 0);
            if (i % 10 == 0)
                r.frame();
        }
        done = true;
    });
    size_t last = 0;
    while (!done) {
        size_t now = r.task->withRecordings([](const auto& g, const auto&) { return g.size(); });
        EXPECT_GE(now, last);
        last = now;
    }
    device.join();
    EXPECT_EQ(20000u, r.gyroscopeList().size());
    EXPECT_EQ(2000u, r.frameList().size());
    EXPECT_FLOAT_EQ(20000.0f / 32768.0f, r.gyroscopeList().back().x());
}

namespace {

// A mutex that only says whether it is held, and an entry that counts its copies made while
// it is held.
struct WatchedMutex {
    bool held = false;
    void lock() { held = true; }
    void unlock() { held = false; }
};
WatchedMutex watched;
int copiesUnderLock = 0;
struct Entry {
    int value;
    explicit Entry(int v) : value(v) {}
    Entry(const Entry& other) : value(other.value) { copiesUnderLock += watched.held; }
    Entry& operator=(const Entry& other) {
        value = other.value;
        copiesUnderLock += watched.held;
        return *this;
    }
};

} // namespace

// A full list grows into a copy made before the readers' mutex is taken: readers wait only for
// the exchange of the blocks, not for millions of entries to be copied.
TEST(GyroscopeLatency, AFullListGrowsWithoutItsEntriesCopiedUnderTheReadersMutex) {
    std::vector<Entry> list;
    list.reserve(100);
    for (int i = 0; i < 100; ++i)
        list.emplace_back(i);
    growOutsideLock(list, watched);
    EXPECT_FALSE(watched.held);
    EXPECT_EQ(0, copiesUnderLock);
    ASSERT_EQ(100u, list.size());
    EXPECT_GE(list.capacity(), 200u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(i, list[std::size_t(i)].value);
    // With room left nothing moves.
    const Entry* block = list.data();
    growOutsideLock(list, watched);
    EXPECT_EQ(block, list.data());
}
