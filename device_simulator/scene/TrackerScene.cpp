#include "device_simulator/scene/TrackerScene.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace Kestrel::DeviceSimulator {

namespace {

// Brightness model: a blob's tracking value and image peak fall with the square of the
// distance and grow with the exposure (10 is the exposure the host asks for).
constexpr double valueAtOneMetre = 4000.0;
constexpr double peakAtOneMetre = 600.0;
constexpr double reflectionDimming = 0.35;
// The largest blob value the stream can carry (value code 255): a saturated blob.
constexpr double maximumBlobValue = 32128.0;

// Whether three floor points could pass for a bar: one of them lies near the segment between
// the other two (within 3 per cent of its length; the bar detector allows 1).
bool nearlyCollinear(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3* p[3] = {&a, &b, &c};
    for (int middle = 0; middle < 3; ++middle) {
        const Vec3& m = *p[middle];
        const Vec3& e0 = *p[(middle + 1) % 3];
        const Vec3& e1 = *p[(middle + 2) % 3];
        Vec3 d = e1 - e0;
        double length2 = KestrelMath::dot(d, d);
        double along = KestrelMath::dot(m - e0, d) / length2;
        double across = KestrelMath::length(m - e0 - d * along);
        if (along > 0 && along < 1 && across < 0.03 * std::sqrt(length2))
            return true;
    }
    return false;
}

// Reflections lie in the markers' plane (height y): on a floor, light from the lamps above; on a
// ceiling, glossy fittings.
std::vector<Vec3> placeReflections(int count, const std::vector<Vec3>& markers, uint64_t seed) {
    std::mt19937_64 random(seed ^ 0xA5A5F00DCAFEull);
    std::uniform_real_distribution<double> coordinate(-2.5, 2.5);
    double height = 0;
    for (const Vec3& m : markers)
        height += m.y() / double(markers.size());
    std::vector<Vec3> reflections;
    // Keep clear of the markers, and never line up three points, so that reflections never
    // pose as (part of) a bar.
    for (int attempt = 0; int(reflections.size()) < count && attempt < 2000 * (count + 1); ++attempt) {
        Vec3 p{{coordinate(random), height, coordinate(random)}};
        bool clear = std::all_of(markers.begin(), markers.end(),
                                 [&](const Vec3& m) { return KestrelMath::length(p - m) > 1.2; });
        bool apart = std::all_of(reflections.begin(), reflections.end(),
                                 [&](const Vec3& r) { return KestrelMath::length(p - r) > 0.5; });
        std::vector<Vec3> placed = reflections;
        placed.insert(placed.end(), markers.begin(), markers.end());
        bool scattered = true;
        for (size_t i = 0; scattered && i < placed.size(); ++i)
            for (size_t j = i + 1; scattered && j < placed.size(); ++j)
                scattered = !nearlyCollinear(p, placed[i], placed[j]);
        if (clear && apart && scattered)
            reflections.push_back(p);
    }
    return reflections;
}

} // namespace

TrackerScene::TrackerScene(const ScenarioDevice& config, uint64_t seed, std::vector<Vec3> markers,
                           std::shared_ptr<const CameraModel> camera)
    : spec_(config), trajectory_(makeTrajectory(config.trajectory, seed)), markers_(std::move(markers)),
      covered_(markers_.size(), false), camera_(std::move(camera)), seed_(seed), faults_(config.faults, seed) {
    reflections_ = placeReflections(config.optical.reflections, markers_, seed);
    for (const CoveredMarker& c : config.faults.covered) {
        if (c.index < 0 || c.index >= int64_t(markers_.size()))
            throw std::invalid_argument("covered marker " + std::to_string(c.index) + " is not one of the " +
                                        std::to_string(markers_.size()) + " markers");
        covered_[size_t(c.index)] = true;
    }
}

float TrackerScene::temperatureAt(double t) const {
    return float(35.0 + 0.6 * std::sin(2 * M_PI * t / 240.0) + 0.15 * std::sin(2 * M_PI * t / 37.0 + 1.0));
}

std::vector<Blob> TrackerScene::idealBlobs(double t, float temperature, int exposure) const {
    std::vector<Blob> blobs;
    if (!camera_)
        return blobs;
    Pose pose = poseAt(t);
    Vec3 cameraCentre = pose.position + pose.rotation.rotate(Vec3{{0.0, 0.0, cameraOffset}});
    double gain = std::max(exposure, 0) / double(defaultExposure) * spec_.faults.exposureGain;
    auto see = [&](const Vec3& light, int64_t identity, double dimming) {
        // d_camera = R^T (light - c): the camera frame is the tracker frame moved along z.
        Vec3 d = pose.rotation.conjugate().rotate(light - cameraCentre);
        double distance = KestrelMath::length(d);
        if (!(distance > 1e-6))
            return;
        Vec3 direction = d / distance;
        if (std::acos(std::clamp(direction.z(), -1.0, 1.0)) > camera_->maximumViewAngle())
            return;
        std::optional<Pixel> pixel = camera_->project(direction, temperature);
        if (!pixel)
            return;
        Blob b;
        b.identity = identity;
        b.pixel = *pixel;
        b.distance = distance;
        double falloff = dimming * gain / (distance * distance);
        b.value = std::clamp(valueAtOneMetre * falloff, 8.0, maximumBlobValue);
        b.peak = peakAtOneMetre * falloff;
        b.sigma = std::clamp(2.2 / distance, 0.8, 3.0);
        blobs.push_back(b);
    };
    for (size_t i = 0; i < markers_.size(); ++i)
        if (!covered_[i])
            see(markers_[i], int64_t(i), 1.0);
    for (size_t i = 0; i < reflections_.size(); ++i)
        see(reflections_[i], reflectionIdentityBase + int64_t(i), reflectionDimming);
    const std::vector<Lamp>& lamps = spec_.faults.lamps;
    for (size_t i = 0; i < lamps.size(); ++i)
        if (FaultSchedule::lampOn(lamps[i], t))
            see(lamps[i].position, lampIdentityBase + int64_t(i), lamps[i].brightness);
    return blobs;
}

bool TrackerScene::occluded(const Pixel& p, double t) const {
    if (!(spec_.optical.occlusion > 0) || t < 0)
        return false;
    auto second = uint64_t(t);
    std::mt19937_64 random(seed_ * 0x9E3779B97F4A7C15ull + second);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    if (uniform(random) >= spec_.optical.occlusion)
        return false;
    double begin = double(second) + 0.4 * uniform(random), end = begin + 0.2 + 0.4 * uniform(random);
    Pixel centre{1.0 + 640.0 * uniform(random), 1.0 + 480.0 * uniform(random)};
    double radius = 80.0 + 80.0 * uniform(random);
    return t >= begin && t < end && std::hypot(p.x - centre.x, p.y - centre.y) < radius;
}

std::vector<Blob> TrackerScene::frameBlobs(double t, float temperature, int exposure, std::mt19937_64& random) const {
    std::vector<Blob> blobs = idealBlobs(t, temperature, exposure);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<Blob> seen;
    for (Blob b : blobs) {
        if (uniform(random) < spec_.optical.dropout || occluded(b.pixel, t))
            continue;
        b.pixel.x += spec_.optical.centroid * normal(random);
        b.pixel.y += spec_.optical.centroid * normal(random);
        // A saturated blob stays at the maximum; the others vary by 1 per cent from frame to frame.
        const double varied = b.value * (1.0 + 0.01 * normal(random));
        b.value = b.value >= maximumBlobValue ? maximumBlobValue : varied;
        seen.push_back(b);
    }
    if (camera_ && spec_.optical.spurious > 0) {
        std::poisson_distribution<int> count(spec_.optical.spurious);
        for (int n = count(random); n > 0; --n) {
            Blob b;
            b.pixel = {1.0 + 640.0 * uniform(random), 6.0 + 468.0 * uniform(random)};
            b.distance = 3.0;
            b.value = 40.0 + 300.0 * uniform(random);
            b.peak = 30.0 + 120.0 * uniform(random);
            b.sigma = 1.0;
            seen.push_back(b);
        }
    }
    return seen;
}

} // namespace Kestrel::DeviceSimulator
