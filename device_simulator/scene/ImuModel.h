#pragma once
// The tracker's inertial sensors at its centre, sampled 2000 times per second.
//
// Sample k covers the interval ((k-1)/2000, k/2000]:
//   gyroscope:     the rotation from the pose at (k-1)/2000 to the pose at k/2000 about the
//                  tracker's own axes, in degrees (delta = R(t-)^-1 R(t), as a rotation vector);
//   accelerometer: specific force at k/2000 in the tracker frame, in g:
//                  f = R(t)^T (a(t) + (0, 9.81, 0)) / 9.81, a by a central second difference.
// With a delay d the sample sent at k/2000 carries the motion of k/2000 - d (before time 0 the
// tracker stood still), as when the inertial path lags the camera.
// Noise: white noise per sample plus a bias that drifts as a first-order Gauss-Markov process
// (time constant 100 s) whose standard deviation is the configured bias size.

#include <cstdint>
#include <random>

#include "device_simulator/scene/ImuCalibration.h"
#include "device_simulator/scene/Trajectory.h"

namespace Kestrel::DeviceSimulator {

constexpr double imuSampleRate = 2000.0;
constexpr double standardGravity = 9.81;

struct ImuNoise {
    double gyroscopeNoise = 0.2;         // degrees per second, standard deviation per sample
    double gyroscopeBias = 0.05;         // degrees per second, size of the drifting bias
    double accelerometerNoise = 0.002;   // g, standard deviation per sample
    double accelerometerBias = 0.003;    // g, size of the drifting bias
};

struct ImuSample {
    double time = 0;           // seconds, the end of the sample interval (when it is sent)
    Vec3 gyroscope;            // degrees per sample interval, noise included (what is encoded)
    Vec3 accelerometer;        // g, noise included
    RawTriple rawGyroscope;
    RawTriple rawAccelerometer;
};

// Noise-free motion of the sample ending at `time`.
Vec3 trueGyroscope(const Trajectory& trajectory, double time);
Vec3 trueAccelerometer(const Trajectory& trajectory, double time);

class ImuModel {
public:
    // `delay`: seconds by which the samples lag the motion (negative: they lead it).
    ImuModel(const ImuNoise& noise, uint64_t seed, double delay = 0);

    // Sample number `index` (time index / 2000) at the given sensor temperature. Calls must
    // come in increasing index order: the bias state advances by one sample per call.
    ImuSample sample(const Trajectory& trajectory, int64_t index, float temperature);

private:
    ImuNoise noise_;
    double delay_;
    std::mt19937_64 random_;
    std::normal_distribution<double> normal_;
    Vec3 gyroscopeBias_, accelerometerBias_;  // deg/s and g
};

} // namespace Kestrel::DeviceSimulator
