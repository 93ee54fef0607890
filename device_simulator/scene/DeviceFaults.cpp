#include "device_simulator/scene/DeviceFaults.h"

#include <algorithm>
#include <cmath>

#include "device_simulator/scene/ImuModel.h"

namespace Kestrel::DeviceSimulator {

namespace {

// SplitMix64: a well-mixed 64-bit value of (seed, stream, index), so that each decision is its
// own independent draw.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t draw(uint64_t seed, uint64_t stream, int64_t index) { return mix(mix(mix(seed) ^ stream) ^ uint64_t(index)); }

// Uniform in [0, 1) from the top 53 bits.
double unit(uint64_t bits) { return double(bits >> 11) * 0x1.0p-53; }

constexpr uint64_t lostFrameStream = 0x4C4F535446524D45ull;
constexpr uint64_t inertialGapStream = 0x494E455254474150ull;

} // namespace

bool FaultSchedule::frameLost(int64_t frame) const {
    return faults_.lostFrames > 0 && unit(draw(seed_, lostFrameStream, frame)) < faults_.lostFrames;
}

std::vector<int64_t> FaultSchedule::gapStarts(int64_t second) const {
    const auto samplesPerSecond = int64_t(imuSampleRate);
    uint64_t state = draw(seed_, inertialGapStream, second);
    // Poisson count by multiplying uniforms until their product falls below e^-rate.
    const double limit = std::exp(-faults_.inertialGaps.perSecond);
    double product = unit(state = mix(state));
    std::vector<int64_t> starts;
    while (product > limit) {
        starts.push_back(second * samplesPerSecond + int64_t(unit(state = mix(state)) * double(samplesPerSecond)));
        product *= unit(state = mix(state));
    }
    return starts;
}

bool FaultSchedule::sampleMissing(int64_t sample) const {
    const InertialGaps& gaps = faults_.inertialGaps;
    if (!(gaps.perSecond > 0) || gaps.samples <= 0 || sample < 0)
        return false;
    // A gap is at most one second long, so only gaps of this second and the one before reach here.
    const int64_t second = sample / int64_t(imuSampleRate);
    for (int64_t s = std::max<int64_t>(0, second - 1); s <= second; ++s)
        for (int64_t start : gapStarts(s))
            if (sample >= start && sample < start + gaps.samples)
                return true;
    return false;
}

bool FaultSchedule::lampOn(const Lamp& lamp, double t) {
    if (!(lamp.flickerHz > 0))
        return true;
    const double cycles = t * lamp.flickerHz;
    return cycles - std::floor(cycles) < 0.5;
}

} // namespace Kestrel::DeviceSimulator
