#pragma once
// The packets of one run of the tracking task of a tracker, in time order:
//   temperature (id 1, float)                  every 0.1 s, the first at the start;
//   gyroscope (id 2) then accelerometer (id 5) every 1/2000 s, raw 16-bit triples;
//   frame start (id 0) and its compressed points every 1 / frameRate s; the frames at every
//   half second are key frames of full points only.
// Each packet carries the simulation time at which the tracker produced it. The scene's faults
// leave out the optical frames the device skips and the missing inertial samples.

#include <cstdint>
#include <functional>
#include <random>

#include "device_simulator/scene/ImuModel.h"
#include "device_simulator/scene/PointCompressor.h"
#include "device_simulator/scene/TrackerScene.h"

namespace Kestrel::DeviceSimulator {

using PacketSink = std::function<void(const EncodedPacket& packet, double time)>;
// Called once per optical frame with its time (ground truth is written from here).
using FrameObserver = std::function<void(double time)>;

class TrackingStream {
public:
    // The stream starts at time `start`; `seed` drives the noise of this run.
    TrackingStream(const TrackerScene& scene, double start, uint64_t seed);

    // Emits every packet with a time <= t that has not been emitted yet.
    void advanceTo(double t, const PacketSink& sink, const FrameObserver& onFrame = {});

    // Host request (packet 9): the exposure of the following frames.
    void setExposure(int exposure) { exposure_ = exposure; }
    int exposure() const { return exposure_; }
    // Time of the last packet emitted (the start before any).
    double emittedUntil() const { return emittedUntil_; }

private:
    const TrackerScene& scene_;
    ImuModel imu_;
    PointCompressor compressor_;
    std::mt19937_64 random_;
    int64_t nextTemperature_, nextSample_, nextFrame_;  // event indices
    float temperature_ = 35.0f;
    int exposure_ = defaultExposure;
    double emittedUntil_;
};

} // namespace Kestrel::DeviceSimulator
