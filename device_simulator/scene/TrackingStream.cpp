#include "device_simulator/scene/TrackingStream.h"

#include <cmath>
#include <cstring>

namespace Kestrel::DeviceSimulator {

namespace {

constexpr double temperatureInterval = 0.1;

EncodedPacket triplePacket(uint8_t id, const RawTriple& raw) {
    EncodedPacket packet{id, std::string(6, '\0')};
    for (int k = 0; k < 3; ++k) {
        auto v = uint16_t(raw.axes[k]);
        packet.payload[2 * k] = char(v & 0xFF);
        packet.payload[2 * k + 1] = char(v >> 8);
    }
    return packet;
}

int64_t firstIndexAtOrAfter(double start, double rate) { return int64_t(std::ceil(start * rate - 1e-9)); }

} // namespace

TrackingStream::TrackingStream(const TrackerScene& scene, double start, uint64_t seed)
    : scene_(scene), imu_(scene.config().imu, seed, scene.config().imuDelayMs / 1000.0), random_(seed ^ 0x5DEECE66Dull),
      nextTemperature_(firstIndexAtOrAfter(start, 1.0 / temperatureInterval)),
      nextSample_(std::max<int64_t>(1, firstIndexAtOrAfter(start, imuSampleRate))),
      nextFrame_(firstIndexAtOrAfter(start, scene.config().frameRate)), emittedUntil_(start) {
    temperature_ = scene_.temperatureAt(start);
}

void TrackingStream::advanceTo(double t, const PacketSink& sink, const FrameObserver& onFrame) {
    const double frameRate = scene_.config().frameRate;
    for (;;) {
        double temperatureTime = double(nextTemperature_) * temperatureInterval;
        double sampleTime = double(nextSample_) / imuSampleRate;
        double frameTime = double(nextFrame_) / frameRate;
        double next = std::min({temperatureTime, sampleTime, frameTime});
        if (next > t)
            break;
        // Equal times: temperature first (it applies to what follows), then the inertial
        // sample, then the frame.
        if (temperatureTime == next) {
            temperature_ = scene_.temperatureAt(next);
            EncodedPacket packet{1, std::string(4, '\0')};
            std::memcpy(packet.payload.data(), &temperature_, 4);
            sink(packet, next);
            ++nextTemperature_;
        } else if (sampleTime == next) {
            // A missing sample is still measured (the sensor's bias moves on); it is only not sent.
            ImuSample s = imu_.sample(scene_.trajectory(), nextSample_, temperature_);
            if (!scene_.faults().sampleMissing(nextSample_)) {
                sink(triplePacket(2, s.rawGyroscope), next);
                sink(triplePacket(5, s.rawAccelerometer), next);
            }
            ++nextSample_;
        } else {
            std::vector<FramePoint> points;
            for (const Blob& b : scene_.frameBlobs(next, temperature_, exposure_, random_))
                points.push_back({b.identity, WirePoint{wireX(b.pixel.x), wireY(b.pixel.y), encodeBlobValue(b.value)}});
            // Twice a second the tracker sends a key frame of full points, so that a host that
            // lost a packet (or joined late) is back in step within half a second.
            if (nextFrame_ % std::max<int64_t>(1, std::llround(frameRate / 2)) == 0)
                compressor_.reset();
            // A skipped frame sends nothing, so the next one is compressed against the last frame
            // the host received and the host's only sign of it is the longer interval.
            if (!scene_.faults().frameLost(nextFrame_))
                for (const EncodedPacket& packet : compressor_.encodeFrame(std::move(points)))
                    sink(packet, next);
            if (onFrame)
                onFrame(next);
            ++nextFrame_;
        }
        emittedUntil_ = next;
    }
}

} // namespace Kestrel::DeviceSimulator
