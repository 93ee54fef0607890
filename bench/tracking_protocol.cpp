// Cost of the host side of the tracking task: point undistortion, inertial integration, and
// one optical frame through interop, point stream and cotask. Real time needs 2000 gyroscope
// and 2000 accelerometer samples and a few hundred frames of up to 40 points per second.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "tracking/runtime/stream/HostStream.h"
#include "tracking/runtime/inertial/InertialState.h"
#include "tracking/runtime/calibration/PointUndistortion.h"
#include "tracking/runtime/stream/TrackingCotask.h"
#include "tracking/runtime/stream/TrackingHostDeviceInterop.h"

using namespace Kestrel::Orb::Tracking;
using namespace Kestrel::InterfaceContract;
namespace Wire = Kestrel::DeviceNetwork::Tasks::Orb;

namespace {

GeometrySettings benchSettings() {
    GeometrySettings g;
    g.cx = 322.25f;
    g.cy = 238.75f;
    g.f = 412.5f;
    g.k = 2.5e-4f;
    g.p = {0.011f, -0.021f, 0.0052f, 0.0031f, -0.0017f, 0.0009f, 0.0004f, -0.0002f};
    g.c = {0.004f, -0.003f, 0.006f, 0.002f, -0.005f, 0.001f, 0.003f, -0.002f, 0.0015f, -0.001f, 0.0005f, 0.0f};
    g.xi = 0.75f;
    for (int s = 0; s < 2; ++s)
        for (int v = 0; v < 61; ++v)
            g.correction[s][v] = {float(0.01 * std::sin(1.7 * v + s)), float(0.02 * std::cos(0.9 * v + 2 * s)),
                                  float(0.015 * std::sin(2.3 * v - s))};
    return g;
}

// A tracking cotask whose operations keep only what the pipeline would need.
class SinkCotask final : public Cotask {
public:
    SinkCotask() { calibrate(benchSettings(), 2.0943952f); }
    int rays = 0, frames = 0;
    KestrelMath::vector3<float> last{};

protected:
    void onAccelerometer(const KestrelMath::vector3<float>& a) override { last = a; }
    void onGyroscope(const KestrelMath::vector3<float>& g) override { last = g; }
    void onFrame() override { ++frames; }
    void onRay(float x, float, int32_t) override {
        ++rays;
        last[0] = x;
    }
};

void BM_UndistortPoint(benchmark::State& state) {
    PointUndistortion camera(benchSettings());
    std::mt19937 random(1);
    std::uniform_real_distribution<float> px(1.0f, 641.0f), py(1.0f, 481.0f);
    std::vector<std::pair<float, float>> pixels(4096);
    for (auto& p : pixels)
        p = {px(random), py(random)};
    std::size_t i = 0;
    KestrelMath::vector2<float> point;
    for (auto _ : state) {
        const auto& p = pixels[i++ & 4095];
        benchmark::DoNotOptimize(camera.undistort(p.first, p.second, 35.0f, point));
        benchmark::DoNotOptimize(point);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_UndistortPoint);

// One gyroscope and one accelerometer sample (a pair of IMU samples) into the inertial state.
void BM_IntegrateImuSamplePair(benchmark::State& state) {
    auto inertial = std::make_unique<InertialState<double>>();
    KestrelMath::vector3<float> gyro{{0.01f, -0.02f, 0.005f}}, acc{{0.02f, 0.98f, -0.01f}};
    int n = 0;
    for (auto _ : state) {
        inertial->gyroscope(gyro);
        inertial->accelerometer(acc);
        if (++n == 8) {  // a frame boundary every 8 pairs, as at 250 frames per second
            n = 0;
            benchmark::DoNotOptimize(inertial->takeLeap());
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2);
}
BENCHMARK(BM_IntegrateImuSamplePair);

// Raw IMU packets through interop, stream and cotask calibration (without integration).
void BM_ImuPacketPath(benchmark::State& state) {
    auto* cotask = new SinkCotask;
    Ref<Kestrel::DeviceNetwork::ICotask> viewer = Ref<Kestrel::DeviceNetwork::ICotask>::share(cotask);
    auto stream = makeInterfaced<Wire::OpticalPointsCompression::HostStream, Wire::Tracking2::IDeviceToHost>(
        cotask->deviceToHost());
    auto connection = makeInterfaced<Wire::Tracking2::HostDeviceInterop, Kestrel::DeviceNetwork::Interop::IConnection>(stream);
    const uint8_t sample[6] = {0x10, 0x00, 0xF0, 0xFF, 0x00, 0x40};
    Kestrel::DeviceNetwork::Packet gyro{2, sample, 6}, acc{3, sample, 6};
    for (auto _ : state) {
        connection->onPacket(&gyro, 0.0);
        connection->onPacket(&acc, 0.0);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2);
}
BENCHMARK(BM_ImuPacketPath);

// One frame of 40 points, as the tracker sends it after the first frame: a frame start, then
// the points as deltas in packets of 8, through interop, stream and cotask.
void BM_FortyPointFrame(benchmark::State& state) {
    auto* cotask = new SinkCotask;
    Ref<Kestrel::DeviceNetwork::ICotask> viewer = Ref<Kestrel::DeviceNetwork::ICotask>::share(cotask);
    auto stream = makeInterfaced<Wire::OpticalPointsCompression::HostStream, Wire::Tracking2::IDeviceToHost>(
        cotask->deviceToHost());
    auto connection = makeInterfaced<Wire::Tracking2::HostDeviceInterop, Kestrel::DeviceNetwork::Interop::IConnection>(stream);

    // First frame: 40 full points on a ring in the middle of the image.
    std::vector<uint8_t> full;
    for (int i = 0; i < 40; ++i) {
        double angle = 2 * M_PI * i / 40;
        uint16_t x = uint16_t(32768 + 15000 * std::cos(angle)), y = uint16_t(32768 + 15000 * std::sin(angle));
        full.insert(full.end(), {uint8_t(x), uint8_t(x >> 8), uint8_t(y), uint8_t(y >> 8), 40});
    }
    for (int chunk = 0; chunk < 5; ++chunk) {
        Kestrel::DeviceNetwork::Packet p{14, full.data() + chunk * 40, 40};
        connection->onPacket(&p, 0.0);
    }
    // Following frames: every point moves by (+1, -1, 0) and back by turns.
    std::vector<uint8_t> forward, backward;
    for (int i = 0; i < 8; ++i) {
        forward.insert(forward.end(), {0x01, 0xFF, 0x0C});
        backward.insert(backward.end(), {0xFF, 0x01, 0x03});
    }
    Kestrel::DeviceNetwork::Packet begin{0, nullptr, 0};
    bool odd = false;
    for (auto _ : state) {
        connection->onPacket(&begin, 0.0);
        const auto& deltas = (odd = !odd) ? forward : backward;
        for (int chunk = 0; chunk < 5; ++chunk) {
            Kestrel::DeviceNetwork::Packet p{23, deltas.data(), 24};
            connection->onPacket(&p, 0.0);
        }
    }
    if (cotask->rays < int(state.iterations()) * 40)
        state.SkipWithError("points were lost");
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_FortyPointFrame);

} // namespace

BENCHMARK_MAIN();
