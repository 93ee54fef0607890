// The rigid environment's bounds: building large layouts (time, and peak memory measured in a
// child process), and the cost of frames that cannot be identified (p99 and maximum of the
// thread's CPU time over 1000 frames) on the default floor, a 64 x 64 hall and a floor of
// overlapping bars.
//
// Frames that cannot be identified: "random rays" are 9 to 64 directions within 60 degrees of
// the optical axis; "foreign views" are what a tracker 1 to 2 m over another layout of the
// same bars sees (bars are found, the place is not), so they run every look and group; the
// overlapping bars are seen from 2.7 to 3.7 m.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <random>

#include <Eigen/Geometry>

#include "tracking/environments/EnvironmentCode.h"
#include "tracking/environments/OrbEnvironmentRigid.h"

using namespace Kestrel::Orb::Tracking;

namespace {

RigidParameters puzzle(uint32_t width, uint32_t depth) {
    RigidParameters p;
    p.width = width;
    p.depth = depth;
    p.barLength = 1.5f;
    p.middleRatio = 0.33333334f;
    p.tileSize = 0.6f;
    return p;
}

RigidParameters defaultFloor() {
    return *parseEnvironmentCode("AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==").rigid;
}

// `percent` of the cells of a width x width puzzle floor carry a bar with a random turn.
RigidParameters randomFloor(uint32_t width, unsigned percent, unsigned seed) {
    RigidParameters p = puzzle(width, width);
    std::mt19937 random(seed);
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t y = 0; y < width; ++y)
            if (random() % 100 < percent)
                p.tiles.push_back(RigidTile{x, y, uint8_t(random() % 4)});
    return p;
}

RigidParameters hall() { return randomFloor(64, 50, 7); }
RigidParameters fullFloor() { return randomFloor(32, 100, 8); }
// Other layouts of the same bars, whose views the floors above cannot place.
RigidParameters foreignFloor() { return randomFloor(6, 25, 3); }
RigidParameters foreignHall() { return randomFloor(64, 50, 8); }

// 19 tiles of 0.15 m with 1.5 m bars whose middle marker sits on the first end marker.
RigidParameters overlappingBars() {
    RigidParameters p = puzzle(5, 5);
    p.middleRatio = 0;
    p.tileSize = 0.15f;
    p.tiles = {{2, 2, 0}, {1, 3, 3}, {1, 1, 3}, {4, 3, 0}, {3, 3, 2}, {1, 4, 0}, {3, 0, 0}, {0, 1, 3}, {3, 2, 1}, {4, 4, 3},
               {4, 2, 2}, {3, 4, 0}, {2, 3, 3}, {1, 2, 1}, {1, 0, 1}, {0, 4, 3}, {2, 4, 1}, {2, 1, 1}, {0, 2, 0}};
    return p;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Peak resident memory (MB) of a child process that runs `work`.
template <class Work>
double childPeakMegabytes(Work&& work) {
    const pid_t child = fork();
    if (child == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return -1;
    return double(usage.ru_maxrss) / 1024;
}

void build(benchmark::State& state, RigidParameters (*layout)()) {
    const RigidParameters p = layout();
    for (auto _ : state) {
        OrbEnvironmentRigid environment(p);
        benchmark::DoNotOptimize(environment.minBars);
    }
    state.counters["tiles"] = double(p.tiles.size());
    state.counters["peak_MB"] = childPeakMegabytes([&] { OrbEnvironmentRigid environment(p); });
    state.counters["process_MB"] = childPeakMegabytes([] {});
}
BENCHMARK_CAPTURE(build, hall_64x64_half, hall)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(build, full_32x32, fullFloor)->Unit(benchmark::kMillisecond)->Iterations(3);

std::vector<Vec3f> markersOf(const OrbEnvironmentRigid& environment) { return environment.markerPositions(); }

// A tracker over the markers' area, `height` +- 0.5 m up, its axis
// within 30 degrees of straight down, any heading; rays to the markers within 60 degrees.
std::vector<Vec3f> viewOf(const std::vector<Vec3f>& markers, double height, std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    float lowX = 1e9f, highX = -1e9f, lowZ = 1e9f, highZ = -1e9f;
    for (const Vec3f& m : markers) {
        lowX = std::min(lowX, m.x());
        highX = std::max(highX, m.x());
        lowZ = std::min(lowZ, m.z());
        highZ = std::max(highZ, m.z());
    }
    const Eigen::Vector3d position(lowX + (highX - lowX) * unit(random), height - 0.5 + unit(random),
                                   lowZ + (highZ - lowZ) * unit(random));
    const double azimuth = 2 * M_PI * unit(random);
    const Eigen::Quaterniond rotation =
        Eigen::AngleAxisd(M_PI / 6 * unit(random), Eigen::Vector3d(std::cos(azimuth), 0, std::sin(azimuth))) *
        Eigen::AngleAxisd(2 * M_PI * unit(random), Eigen::Vector3d::UnitY());
    std::vector<Vec3f> rays;
    for (const Vec3f& m : markers) {
        const Eigen::Vector3d ray =
            (rotation.conjugate() * (Eigen::Vector3d(m.x(), m.y(), m.z()) - position)).normalized();
        if (-ray.y() > 0.5)
            rays.push_back(Vec3f{{float(ray.x()), float(ray.y()), float(ray.z())}});
    }
    return rays;
}

std::vector<Vec3f> randomRays(std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Vec3f> rays(9 + random() % 56);
    for (Vec3f& ray : rays) {
        const double down = 0.5 + 0.5 * unit(random), side = std::sqrt(1 - down * down), a = 2 * M_PI * unit(random);
        ray = Vec3f{{float(side * std::cos(a)), float(-down), float(side * std::sin(a))}};
    }
    return rays;
}

// Per-frame CPU time over 1000 frames: p99, maximum and mean (ms), how many were identified,
// how many gave up on the budget, and the most work units a frame spent.
void unidentifiable(benchmark::State& state, RigidParameters (*layout)(), RigidParameters (*foreign)(), double height) {
    OrbEnvironmentRigid environment(layout());
    const std::vector<Vec3f> foreignMarkers = markersOf(OrbEnvironmentRigid(foreign()));
    const bool views = state.range(0) == 1;
    std::mt19937 random(11);
    std::vector<std::vector<Vec3f>> frames;
    while (frames.size() < 1000) {
        std::vector<Vec3f> rays = views ? viewOf(foreignMarkers, height, random) : randomRays(random);
        if (rays.size() >= 9)
            frames.push_back(std::move(rays));
    }
    std::vector<double> seconds;
    unsigned found = 0, gaveUp = 0;
    uint64_t mostUnits = 0;
    double rays = 0;
    for (auto _ : state) {
        for (const std::vector<Vec3f>& frame : frames) {
            std::vector<MarkerIndex> indices;
            Pose pose{};
            MatchBudget budget;
            const double start = threadSeconds();
            found += environment.matchRays(frame, indices, pose, budget);
            seconds.push_back(threadSeconds() - start);
            gaveUp += budget.exhausted();
            mostUnits = std::max(mostUnits, budget.spent());
            rays += double(frame.size());
        }
    }
    std::sort(seconds.begin(), seconds.end());
    double total = 0;
    for (double s : seconds)
        total += s;
    state.counters["p99_ms"] = seconds[seconds.size() * 99 / 100] * 1e3;
    state.counters["max_ms"] = seconds.back() * 1e3;
    state.counters["mean_ms"] = total / double(seconds.size()) * 1e3;
    state.counters["found"] = found;
    state.counters["gave_up"] = gaveUp;
    state.counters["max_units"] = double(mostUnits);
    state.counters["mean_rays"] = rays / double(seconds.size());
}
// Argument 0: random rays; 1: views of a foreign layout (for the overlapping bars, of their own
// floor, which no frame identifies).
BENCHMARK_CAPTURE(unidentifiable, default_floor, defaultFloor, foreignFloor, 1.5)
    ->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(unidentifiable, hall_64x64_half, hall, foreignHall, 1.5)
    ->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(unidentifiable, overlapping_bars, overlappingBars, overlappingBars, 3.2)
    ->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
