#include "device_simulator/scene/DebugView.h"

#include <algorithm>
#include <cmath>

#include "device_simulator/scene/ImageStream.h"

namespace Kestrel::DeviceSimulator {

void addBlobSpot(std::vector<float>& image, const Blob& blob) {
    // Pixel centre of column c is at point coordinate c + 1.
    const double cx = blob.pixel.x - 1, cy = blob.pixel.y - 1;
    const int reach = int(std::ceil(4 * blob.sigma));
    const int column = int(std::floor(cx)), row0 = int(std::floor(cy));
    for (int row = std::max(0, row0 - reach); row <= std::min(imageHeight - 1, row0 + reach); ++row)
        for (int col = std::max(0, column - reach); col <= std::min(imageWidth - 1, column + reach); ++col) {
            const double r2 = (col - cx) * (col - cx) + (row - cy) * (row - cy);
            image[size_t(row) * imageWidth + col] += float(blob.peak * std::exp(-r2 / (2 * blob.sigma * blob.sigma)));
        }
}

DebugView::DebugView(const TrackerScene& scene, uint64_t seed) : scene_(scene), random_(seed ^ 0xDEB06ull) {}

DebugSnapshot DebugView::snapshot(double t) {
    DebugSnapshot s;
    std::vector<float> image(size_t(imageWidth) * imageHeight);
    std::normal_distribution<float> noise(6.0f, 1.5f);
    for (float& v : image)
        v = noise(random_);
    std::vector<Blob> blobs = scene_.frameBlobs(t, scene_.temperatureAt(t), exposure_, random_);
    for (const Blob& b : blobs) {
        addBlobSpot(image, b);
        if (b.peak > threshold_ && threshold_ >= 0) {
            double rho2 = threshold_ > 0 ? 2 * b.sigma * b.sigma * std::log(b.peak / threshold_) : 16 * b.sigma * b.sigma;
            s.points.push_back({uint32_t(std::lround(255.0 * M_PI * rho2)), float(b.pixel.x), float(b.pixel.y)});
        }
    }
    s.pixels.resize(image.size());
    std::transform(image.begin(), image.end(), s.pixels.begin(),
                   [](float v) { return uint8_t(std::clamp(std::lround(v), 1L, 255L)); });
    return s;
}

int32_t DebugView::config(uint32_t type, uint32_t address) const {
    if (type == configExposure && address == 0)
        return exposure_;
    if (type == configPixelThreshold && address == 0)
        return threshold_;
    uint64_t key = (uint64_t(type) << 32) | address;
    for (const auto& [k, v] : other_)
        if (k == key)
            return v;
    return 0;
}

void DebugView::setConfig(uint32_t type, uint32_t address, int32_t value) {
    if (type == configExposure && address == 0) {
        exposure_ = value;
        return;
    }
    if (type == configPixelThreshold && address == 0) {
        threshold_ = value;
        return;
    }
    uint64_t key = (uint64_t(type) << 32) | address;
    for (auto& [k, v] : other_)
        if (k == key) {
            v = value;
            return;
        }
    other_.emplace_back(key, value);
}

} // namespace Kestrel::DeviceSimulator
