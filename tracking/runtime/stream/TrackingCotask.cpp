#include "tracking/runtime/stream/TrackingCotask.h"

#include <stdexcept>

#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"
#include "tracking/runtime/calibration/MaximumViewAngle.h"

namespace Kestrel::Orb::Tracking {

using InterfaceContract::check;
using InterfaceContract::guard;

namespace {

std::string readProperty(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node, std::string_view key) {
    std::string value;
    InterfaceContract::InArray name = InterfaceContract::inArray(key);
    InterfaceContract::OutArray out = InterfaceContract::outArray(value);
    check(&network, network.readProperty(node, &name, &out));
    return value;
}

float readMaximumViewAngle(DeviceNetwork::INodeNetwork& network, DeviceNetwork::NodeHandle node) {
    std::string bytes;
    try {
        bytes = readProperty(network, node, "sys/MaximumViewAngle.b");
    } catch (const std::exception& e) {
        logLine() << "MaximumViewAngle: property not read: " << e.what();
        return fallbackMaximumViewAngle;
    }
    try {
        return parseMaximumViewAngle(bytes);
    } catch (const std::exception& e) {
        logLine() << e.what();
        return fallbackMaximumViewAngle;
    }
}

template <class T>
const T& required(const T* pointer) {
    if (!pointer)
        throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "null argument");
    return *pointer;
}

std::array<int16_t, 3> axes(const TrackingTask::InertialSample& s) { return {s.x, s.y, s.z}; }

constexpr float sampleUnit = 1.0f / 32768.0f;  // 2^-15

} // namespace

Cotask::Cotask() { setTemperature(initialTemperature); }

Cotask::Cotask(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network, DeviceNetwork::NodeHandle node) : Cotask() {
    if (!network)
        throw std::invalid_argument("Cotask: no network");
    GeometrySettings settings = parseGeometrySettings(readProperty(*network.get(), node, "sys/GeometrySettings.b"));
    float angle = readMaximumViewAngle(*network.get(), node);
    network.reset();
    calibrate(settings, angle);
}

void Cotask::calibrate(const GeometrySettings& settings, float maximumViewAngle) {
    settings_ = settings;
    undistortion_ = std::make_unique<PointUndistortion>(settings_);
    maximumRadiusSquared_ = Tracking::maximumRadiusSquared(maximumViewAngle, settings_.xi);
    setTemperature(temperature_);
    geometrySettingsReady_.store(true);
}

bool Cotask::ready() {
    if (geometrySettingsReady_.load())
        return true;
    if (!assertionReported_.exchange(true)) {
        logLine() << "Assert: " << "geometrySettingsReady";
        logLine();
    }
    return false;
}

void Cotask::setTemperature(float celsius) {
    temperature_ = celsius;
    accelerometer_ = SensorCalibration::atTemperature(settings_.accelerometer, celsius);
    gyroscope_ = SensorCalibration::atTemperature(settings_.gyroscope, celsius);
}

void Cotask::sendExposure(int32_t exposure) {
    auto link = this->link();
    check(link.get(), link->setExposure(&exposure));
}

ResultCode Cotask::beginFrame() {
    return guard([&] {
        if (ready())
            onFrame();
    });
}

ResultCode Cotask::pointReceived(const TrackingTask::OpticalPoint* point) {
    return guard([&] {
        const auto& p = required(point);
        if (!ready())
            return;
        KestrelMath::vector2<float> undistorted;
        if (undistortion_->undistort(p.x, p.y, temperature_, undistorted) == PointUndistortion::Outcome::Accepted)
            onRay(undistorted.x(), undistorted.y(), p.value);
    });
}

ResultCode Cotask::temperatureReceived(float celsius) {
    return guard([&] {
        if (ready()) {
            setTemperature(celsius);
            onTemperature(celsius);
        }
    });
}

ResultCode Cotask::gyroscopeReceived(const TrackingTask::InertialSample* sample) {
    return guard([&] {
        auto raw = axes(required(sample));
        if (!ready())
            return;
        for (int16_t axis : raw)
            if (axis == 32767 || axis == -32768) {
                onGyroscopeOverflow();
                logLine() << "gyroscope overflow";
                break;
            }
        onGyroscope(gyroscope_.apply(raw, sampleUnit));
    });
}

void Cotask::accelerometer(const TrackingTask::InertialSample* sample, float range) {
    auto raw = axes(required(sample));
    if (ready())
        onAccelerometer(accelerometer_.apply(raw, range * sampleUnit));
}

ResultCode Cotask::accelerometerReceived2g(const TrackingTask::InertialSample* s) {
    return guard([&] { accelerometer(s, 2.0f); });
}
ResultCode Cotask::accelerometerReceived4g(const TrackingTask::InertialSample* s) {
    return guard([&] { accelerometer(s, 4.0f); });
}
ResultCode Cotask::accelerometerReceived8g(const TrackingTask::InertialSample* s) {
    return guard([&] { accelerometer(s, 8.0f); });
}
ResultCode Cotask::accelerometerReceived16g(const TrackingTask::InertialSample* s) {
    return guard([&] { accelerometer(s, 16.0f); });
}

} // namespace Kestrel::Orb::Tracking
