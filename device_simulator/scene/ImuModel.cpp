#include "device_simulator/scene/ImuModel.h"

#include <cmath>

namespace Kestrel::DeviceSimulator {

namespace {
constexpr double biasTimeConstant = 100.0;  // seconds
constexpr double degreesPerRadian = 180.0 / M_PI;
} // namespace

Vec3 trueGyroscope(const Trajectory& trajectory, double time) {
    Quat before = trajectory.poseAt(std::max(0.0, time - 1.0 / imuSampleRate)).rotation;
    Quat after = trajectory.poseAt(time).rotation;
    return rotationVector(before.conjugate() * after) * degreesPerRadian;
}

Vec3 trueAccelerometer(const Trajectory& trajectory, double time) {
    // h = 1 ms keeps the truncation error (h^2/12 p'''') and the rounding error (eps |p| / h^2)
    // both far below the sensor's own noise.
    const double h = 1e-3;
    double t = std::max(time, h);
    Vec3 p0 = trajectory.poseAt(t - h).position, p1 = trajectory.poseAt(t).position,
         p2 = trajectory.poseAt(t + h).position;
    Vec3 acceleration = (p2 - p1 * 2.0 + p0) / (h * h);
    Vec3 specificForce = acceleration + Vec3{{0.0, standardGravity, 0.0}};
    Quat rotation = trajectory.poseAt(time).rotation;
    return rotation.conjugate().rotate(specificForce) / standardGravity;
}

ImuModel::ImuModel(const ImuNoise& noise, uint64_t seed, double delay) : noise_(noise), delay_(delay), random_(seed) {
    for (int k = 0; k < 3; ++k) {
        gyroscopeBias_[k] = noise_.gyroscopeBias * normal_(random_);
        accelerometerBias_[k] = noise_.accelerometerBias * normal_(random_);
    }
}

ImuSample ImuModel::sample(const Trajectory& trajectory, int64_t index, float temperature) {
    const double dt = 1.0 / imuSampleRate;
    const double keep = std::exp(-dt / biasTimeConstant);
    const double drive = std::sqrt(1.0 - keep * keep);
    ImuSample s;
    s.time = double(index) * dt;
    const double motionTime = std::max(0.0, s.time - delay_);
    Vec3 gyro = trueGyroscope(trajectory, motionTime);
    Vec3 accel = trueAccelerometer(trajectory, motionTime);
    for (int k = 0; k < 3; ++k) {
        gyroscopeBias_[k] = gyroscopeBias_[k] * keep + noise_.gyroscopeBias * drive * normal_(random_);
        accelerometerBias_[k] = accelerometerBias_[k] * keep + noise_.accelerometerBias * drive * normal_(random_);
        // Rates in degrees per second become degrees per sample interval.
        gyro[k] += (gyroscopeBias_[k] + noise_.gyroscopeNoise * normal_(random_)) * dt;
        accel[k] += accelerometerBias_[k] + noise_.accelerometerNoise * normal_(random_);
    }
    s.gyroscope = gyro;
    s.accelerometer = accel;
    s.rawGyroscope = rawFromValue(simulatedGyroscopeCalibration(), gyroscopeScale, gyro, temperature);
    s.rawAccelerometer = rawFromValue(simulatedAccelerometerCalibration(), accelerometerScale, accel, temperature);
    return s;
}

} // namespace Kestrel::DeviceSimulator
