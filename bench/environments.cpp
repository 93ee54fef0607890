// Environment costs on the frame path: the bar detector over one frame's blobs, building an
// environment from its code, building a 10 by 10 tile floor with its pattern index, and
// identifying the place on that floor from frames of about 30 rays.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "tracking/environments/BarDetector.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/EnvironmentCodeWriter.h"
#include "tracking/environments/OrbEnvironmentRigid.h"
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

// 10 by 10 tiles of 0.6 m, half of them carrying a 0.5 m bar with a random turn.
RigidParameters tenByTenFloor() {
    RigidParameters p;
    p.width = p.depth = 10;
    p.barLength = 0.5f;
    p.middleRatio = 0.33333334f;
    p.tileSize = 0.6f;
    std::mt19937 random(2);
    for (uint32_t x = 0; x < p.width; ++x)
        for (uint32_t y = 0; y < p.depth; ++y)
            if (random() % 2)
                p.tiles.push_back(RigidTile{x, y, uint8_t(random() % 4)});
    return p;
}

void CreateRigidTenByTen(benchmark::State& state) {
    const RigidParameters floor = tenByTenFloor();
    for (auto _ : state) {
        OrbEnvironmentRigid environment(floor);
        benchmark::DoNotOptimize(environment.minBars);
    }
}
BENCHMARK(CreateRigidTenByTen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Frames of 27 to 33 rays: a camera 1.1 to 1.5 m over the floor, tilted up to 20 degrees,
// seeing the markers within 60 degrees of its axis (the tracker looks along its -y).
std::vector<std::vector<Vec3f>> thirtyRayFrames(const std::vector<Vec3f>& markers) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<std::vector<Vec3f>> frames;
    while (frames.size() < 32) {
        const double x = -2.4 + 4.8 * unit(random), z = -2.4 + 4.8 * unit(random), h = 1.1 + 0.4 * unit(random);
        const double tilt = 0.35 * unit(random), azimuth = 6.2831853 * unit(random), heading = 6.2831853 * unit(random);
        // Camera axes in floor coordinates: a heading about y, then a tilt about a horizontal axis.
        const double ct = std::cos(tilt), st = std::sin(tilt), ca = std::cos(azimuth), sa = std::sin(azimuth);
        const double down[3] = {st * ca, -ct, st * sa};
        const double ch = std::cos(heading), sh = std::sin(heading);
        double side[3] = {ch, 0, sh};
        const double along = side[0] * down[0] + side[2] * down[2];
        for (int i = 0; i < 3; ++i)
            side[i] -= along * down[i];
        const double sideLength = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
        for (double& v : side)
            v /= sideLength;
        const double third[3] = {down[1] * side[2] - down[2] * side[1], down[2] * side[0] - down[0] * side[2],
                                 down[0] * side[1] - down[1] * side[0]};
        std::vector<Vec3f> rays;
        for (const Vec3f& m : markers) {
            const double d[3] = {m.x() - x, m.y() - h, m.z() - z};
            const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            const double a = (d[0] * side[0] + d[1] * side[1] + d[2] * side[2]) / length;
            const double b = (d[0] * down[0] + d[1] * down[1] + d[2] * down[2]) / length;
            const double c = (d[0] * third[0] + d[1] * third[1] + d[2] * third[2]) / length;
            if (b > 0.5)  // within 60 degrees of the axis; the axis is the tracker's -y
                rays.push_back(Vec3f{{float(a), float(-b), float(c)}});
        }
        if (rays.size() >= 27 && rays.size() <= 33)
            frames.push_back(rays);
    }
    return frames;
}

// Time per frame over the frames in turn; the counters give the median frame and the share
// of frames identified.
void RigidMatchRays(benchmark::State& state) {
    OrbEnvironmentRigid environment(tenByTenFloor());
    const std::vector<std::vector<Vec3f>> frames = thirtyRayFrames(environment.markerPositions());
    std::vector<MarkerIndex> indices;
    Pose pose{};
    std::size_t frame = 0, found = 0;
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        found += environment.matchRays(frames[frame], indices, pose);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        frame = (frame + 1) % frames.size();
    }
    std::nth_element(seconds.begin(), seconds.begin() + std::ptrdiff_t(seconds.size() / 2), seconds.end());
    state.counters["median_ms"] = seconds.empty() ? 0 : seconds[seconds.size() / 2] * 1e3;
    state.counters["found"] = double(found) / double(state.iterations());
}
BENCHMARK(RigidMatchRays)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
