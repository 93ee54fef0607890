#pragma once
// What the debug task of a tracker shows: its configuration, one camera image rendered from the
// same scene as the tracking stream, and the blobs above the pixel threshold.
//
// The image is a dark noisy background (grey values around 6, never 0) with each blob drawn as
// a Gaussian spot of its peak brightness (which scales with the exposure), clipped to 255.
// Point coordinates number the pixels from 1 at their centres, as the image stream numbers its
// columns and rows: pixel (column c, row r), 0-based, has its centre at (c + 1, r + 1), and the
// viewer's corner mark at (1, 1) sits on the first pixel.
// A blob is listed when its peak exceeds the pixel threshold; its value is 255 * pi * rho^2,
// rho the radius of its disk above the threshold, so the viewer's circle of radius
// sqrt(value / (255 pi)) outlines that disk.

#include <cstdint>
#include <random>
#include <vector>

#include "device_simulator/scene/TrackerScene.h"

namespace Kestrel::DeviceSimulator {

struct DebugPoint {
    uint32_t value = 0;
    float x = 0, y = 0;
};
static_assert(sizeof(DebugPoint) == 12, "DebugPoint is 12 bytes on the wire");

constexpr int configExposure = 4;        // ConfigRecord type of the exposure
constexpr int configPixelThreshold = 0;  // ConfigRecord type of the pixel threshold
constexpr int defaultPixelThreshold = 40;

struct DebugSnapshot {
    std::vector<uint8_t> pixels;        // 640 * 480, row-major
    std::vector<DebugPoint> points;
};

// Adds one blob's Gaussian spot (peak brightness, radius sigma) to a 640 x 480 image of grey
// values, centred where its point coordinates say.
void addBlobSpot(std::vector<float>& image, const Blob& blob);

class DebugView {
public:
    DebugView(const TrackerScene& scene, uint64_t seed);

    // Image and point list at time t with the current configuration.
    DebugSnapshot snapshot(double t);

    // Configuration values by ConfigRecord (type, address); unknown ones read as 0 and are
    // stored so that a later read returns what was written.
    int32_t config(uint32_t type, uint32_t address) const;
    void setConfig(uint32_t type, uint32_t address, int32_t value);

private:
    const TrackerScene& scene_;
    std::mt19937_64 random_;
    int32_t exposure_ = defaultExposure;
    int32_t threshold_ = defaultPixelThreshold;
    std::vector<std::pair<uint64_t, int32_t>> other_;
};

} // namespace Kestrel::DeviceSimulator
