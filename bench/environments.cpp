// Environment costs on the frame path: the bar detector over one frame's blobs, and building
// an environment from its code.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "tracking/environments/BarDetector.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/EnvironmentCodeWriter.h"
#include "tracking/environments/OrbEnvironmentSingle.h"

using namespace Kestrel::Orb::Tracking;

namespace {

// One bar per 12 points, the rest scattered, in the unit-distance image plane.
std::vector<Vec2f> frameOfBlobs(std::size_t count) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> coordinate(-1, 1), angle(0, 6.2831853f);
    std::vector<Vec2f> points;
    for (std::size_t bar = 0; bar < count / 12; ++bar) {
        const float cx = coordinate(random), cy = coordinate(random), a = angle(random), length = 0.2f;
        for (float t : {-0.5f, -0.2f, 0.5f})
            points.push_back(Vec2f{{cx + std::cos(a) * length * t, cy + std::sin(a) * length * t}});
    }
    while (points.size() < count)
        points.push_back(Vec2f{{coordinate(random), coordinate(random)}});
    return points;
}

void FindBars(benchmark::State& state) {
    const std::vector<Vec2f> points = frameOfBlobs(std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(findBars(points, 0.3f, defaultDetectorShape, defaultDetectorScale));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(FindBars)->Arg(12)->Arg(24)->Arg(48)->Complexity(benchmark::oNCubed);

void CreateSingleEnvironment(benchmark::State& state) {
    const std::string code = encodeBarEnvironment("Single", {1.0f, 0.3f});
    for (auto _ : state)
        benchmark::DoNotOptimize(createEnvironment(code));
}
BENCHMARK(CreateSingleEnvironment);

void SingleMatchRays(benchmark::State& state) {
    OrbEnvironmentSingle single(1.0f, 0.3f);
    std::vector<Vec3f> rays;
    for (float x : {-0.5f, -0.2f, 0.5f}) {
        const Vec3f d{{x - 0.1f, -2.0f, 0.3f}};
        rays.push_back(d / std::sqrt(KestrelMath::dot(d, d)));
    }
    std::vector<MarkerIndex> indices;
    Pose pose{};
    for (auto _ : state)
        benchmark::DoNotOptimize(single.matchRays(rays, indices, pose));
}
BENCHMARK(SingleMatchRays);

} // namespace

BENCHMARK_MAIN();
