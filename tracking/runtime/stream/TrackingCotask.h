#pragma once
// Kestrel::Orb::Tracking::Cotask: the abstract host side of the tracker's tracking task.
//
// It reads the tracker's calibration when it is created, turns raw samples into calibrated
// physical values and blob points into undistorted normalized image points, and hands the
// results to its subclass through five operations. All Tracking::IDeviceToHost calls come
// from the library's delivery thread of the task, one at a time.

#include <atomic>
#include <memory>

#include "device_network/client/Cotask.h"
#include "interface_contract/KestrelMath.h"
#include "tracking/runtime/calibration/GeometrySettings.h"
#include "tracking/runtime/calibration/PointUndistortion.h"
#include "tracking/runtime/calibration/SensorCalibration.h"
#include "tracking/runtime/stream/TrackingInterfaces.h"

namespace Kestrel::Orb::Tracking {

namespace TrackingTask = DeviceNetwork::Tasks::Orb::Tracking;
using InterfaceContract::ResultCode;

class Cotask : public DeviceNetwork::Client::Cotask<TrackingTask::IDeviceToHost, TrackingTask::IHostToDevice> {
public:
    static constexpr float initialTemperature = 35.0f;

    // Reads "sys/GeometrySettings.b" and "sys/MaximumViewAngle.b" of `node`. A calibration that
    // cannot be read or parsed fails the construction; a missing or invalid view angle falls
    // back to 120 degrees with a log line. The network reference is released afterwards.
    Cotask(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network, DeviceNetwork::NodeHandle node);

    // Tracking::IDeviceToHost
    ResultCode KESTREL_CALL beginFrame() override;
    ResultCode KESTREL_CALL pointReceived(const TrackingTask::OpticalPoint* point) override;
    ResultCode KESTREL_CALL temperatureReceived(float celsius) override;
    ResultCode KESTREL_CALL gyroscopeReceived(const TrackingTask::InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometerReceived2g(const TrackingTask::InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometerReceived4g(const TrackingTask::InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometerReceived8g(const TrackingTask::InertialSample* sample) override;
    ResultCode KESTREL_CALL accelerometerReceived16g(const TrackingTask::InertialSample* sample) override;

    // Squared radius of the field of view in normalized image coordinates (1.0 until read).
    float maximumRadiusSquared() const { return maximumRadiusSquared_; }
    // The unified-model parameter of the camera.
    float xi() const { return settings_.xi; }
    const GeometrySettings& geometrySettings() const { return settings_; }
    bool geometrySettingsReady() const { return geometrySettingsReady_.load(); }

    // Called by the point stream in front of the task (delivery thread) when a delta point had
    // no reference: packets of the stream were lost. Passes it on to onInvalidSequence.
    void streamSequenceBroken() { onInvalidSequence(); }

protected:
    // A task without calibration; sensor data are refused until calibrate() has run.
    Cotask();
    // Takes over a calibration and a view angle (radians); the task is ready after it.
    void calibrate(const GeometrySettings& settings, float maximumViewAngle);

    // Sends packet 9. Throws "Task is finished" once the link to the device has gone, or the
    // connection's error.
    void sendExposure(int32_t exposure);

    // Calibrated acceleration, in g.
    virtual void onAccelerometer(const KestrelMath::vector3<float>& acceleration) = 0;
    // Calibrated rotation during one sample interval, in degrees about x, y, z.
    virtual void onGyroscope(const KestrelMath::vector3<float>& rotation) = 0;
    // A gyroscope axis saturated; the sample is delivered after this call.
    virtual void onGyroscopeOverflow() {}
    // A temperature packet, after the calibration has been moved to it.
    virtual void onTemperature(float /*celsius*/) {}
    // The point stream lost its reference (see streamSequenceBroken).
    virtual void onInvalidSequence() {}
    // A new optical frame began; the previous one is complete.
    virtual void onFrame() = 0;
    // One accepted point of the current frame: undistorted normalized image coordinates and
    // the decoded blob value.
    virtual void onRay(float x, float y, int32_t value) = 0;

    // Both sides' releases drop the link to the device; subclasses may extend them.
    void onViewerReleased() override { releaseLink(); }
    void onDeviceReleased() override { releaseLink(); }

private:
    // False (after the assertion line, written once) while there is no calibration.
    bool ready();
    void accelerometer(const TrackingTask::InertialSample* sample, float range);
    void setTemperature(float celsius);

    std::atomic<bool> geometrySettingsReady_{false};
    std::atomic<bool> assertionReported_{false};
    GeometrySettings settings_;
    std::unique_ptr<PointUndistortion> undistortion_;
    float maximumRadiusSquared_ = 1.0f;
    float temperature_ = initialTemperature;
    SensorCalibration accelerometer_;
    SensorCalibration gyroscope_;
};

} // namespace Kestrel::Orb::Tracking
