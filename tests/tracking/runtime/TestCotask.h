#pragma once
// A tracking cotask that records what its five operations receive.
#include <atomic>
#include <mutex>
#include <vector>

#include "tracking/runtime/stream/TrackingCotask.h"

class TestCotask final : public Kestrel::Orb::Tracking::Cotask {
public:
    static inline std::atomic<int> alive{0};
    static inline std::atomic<int> allDeviceReleases{0};

    struct Ray {
        float x, y;
        int32_t value;
    };

    TestCotask(Kestrel::InterfaceContract::Ref<Kestrel::DeviceNetwork::INodeNetwork> network,
               Kestrel::DeviceNetwork::NodeHandle node)
        : Cotask(std::move(network), node) {
        ++alive;
    }
    // Without calibration.
    TestCotask() { ++alive; }
    ~TestCotask() override { --alive; }

    void calibrateNow(const Kestrel::Orb::Tracking::GeometrySettings& settings, float angle) { calibrate(settings, angle); }
    void exposure(int32_t value) { sendExposure(value); }

    std::vector<KestrelMath::vector3<float>> accelerations, rotations;
    std::vector<Ray> rays;
    std::atomic<int> frames{0}, overflows{0}, viewerReleases{0}, deviceReleases{0};

protected:
    void onAccelerometer(const KestrelMath::vector3<float>& a) override { accelerations.push_back(a); }
    void onGyroscope(const KestrelMath::vector3<float>& g) override { rotations.push_back(g); }
    void onGyroscopeOverflow() override { ++overflows; }
    void onFrame() override { ++frames; }
    void onRay(float x, float y, int32_t value) override { rays.push_back({x, y, value}); }
    void onViewerReleased() override {
        ++viewerReleases;
        Cotask::onViewerReleased();
    }
    void onDeviceReleased() override {
        ++deviceReleases;
        ++allDeviceReleases;
        Cotask::onDeviceReleased();
    }
};
