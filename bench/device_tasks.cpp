// The host side of the debug and mid-space tasks: decoding one camera image, re-projecting a
// point to the tracker centre, and one accelerometer sample of the mid-space task.
#include <benchmark/benchmark.h>

#include <random>

#include "tracking/runtime/device_tasks/ImageStreamDecoder.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"
#include "tracking/runtime/device_tasks/MidSpaceCotask.h"

namespace {

using namespace Kestrel::Orb;

// A full 640 x 480 image as the tracker sends it: one segment per row, rows in alternating
// directions, pixels 1..255.
std::string fullImageStream() {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> grey(1, 255);
    std::string stream;
    for (uint32_t y = 1; y <= 480; ++y) {
        for (int i = 0; i < 640; ++i)
            stream.push_back(char(grey(random)));
        stream.push_back('\0');
        stream.push_back('\0');  // 640 data bytes: even, so one padding byte
        const uint32_t h = (y % 2 ? 1u : 640u) | 640u << 10 | y << 20;
        for (int b = 0; b < 4; ++b)
            stream.push_back(char(h >> (8 * b) & 0xFF));
    }
    return stream;
}

void BM_DecodeFullImage(benchmark::State& state) {
    const std::string stream = fullImageStream();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeImageStream(stream, 640, 480));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}
BENCHMARK(BM_DecodeFullImage)->Unit(benchmark::kMicrosecond);

void BM_ReprojectToTrackerCentre(benchmark::State& state) {
    float x = 0.3f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Tracking::MidSpaceCotask::reprojectToTrackerCentre(x, -0.2f, 0.75f));
        x = x < 0.9f ? x + 1e-4f : 0.3f;
    }
}
BENCHMARK(BM_ReprojectToTrackerCentre);

// One calibrated accelerometer sample through the up collector and the turn counter.
void BM_MidSpaceAccelerometerSample(benchmark::State& state) {
    auto* task = new Tracking::MidSpaceCotask(Tracking::GeometrySettings{}, Tracking::fallbackMaximumViewAngle);
    auto viewer = Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::ICotask>::share(task);
    Kestrel::DeviceNetwork::Tasks::Orb::Tracking::InertialSample sample{8192, 100, 8192};
    for (auto _ : state) {
        task->accelerometerReceived2g(&sample);
        sample.y = int16_t(-sample.y);
    }
}
BENCHMARK(BM_MidSpaceAccelerometerSample);

} // namespace

BENCHMARK_MAIN();
