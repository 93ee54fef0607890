#pragma once
// Receivers that record what reaches them, for the protocol tests.
#include <cmath>
#include <string>
#include <vector>

#include "interface_contract/Remap.h"
#include "tracking/runtime/stream/TrackingInterfaces.h"

namespace Recorders {

using namespace Kestrel::InterfaceContract;
namespace Wire = Kestrel::DeviceNetwork::Tasks::Orb;

// A decoded point with its 16-bit position recovered from the pixel coordinates.
struct Point {
    int32_t value;
    float x, y;
    int x16() const { return int(std::lround((x - 1.0f) / 640.0f * 65535.0f)); }
    int y16() const { return int(std::lround((y - 1.0f) / 480.0f * 65535.0f)); }
};

class DecodedRecorder final : public Implements<Wire::Tracking::IDeviceToHost> {
public:
    std::vector<std::string> events;
    std::vector<Point> points;
    ResultCode failPointsWith = 0;

    ResultCode KESTREL_CALL beginFrame() override { return add("frame"); }
    ResultCode KESTREL_CALL pointReceived(const Wire::Tracking::OpticalPoint* p) override {
        if (failPointsWith)
            return failPointsWith;
        points.push_back({p->value, p->x, p->y});
        return add("point");
    }
    ResultCode KESTREL_CALL temperatureReceived(float t) override { return add("temperature " + std::to_string(t)); }
    ResultCode KESTREL_CALL gyroscopeReceived(const Wire::Tracking::InertialSample* s) override {
        return add("gyroscope" + axes(s));
    }
    ResultCode KESTREL_CALL accelerometerReceived2g(const Wire::Tracking::InertialSample* s) override {
        return add("accelerometer2g" + axes(s));
    }
    ResultCode KESTREL_CALL accelerometerReceived4g(const Wire::Tracking::InertialSample* s) override {
        return add("accelerometer4g" + axes(s));
    }
    ResultCode KESTREL_CALL accelerometerReceived8g(const Wire::Tracking::InertialSample* s) override {
        return add("accelerometer8g" + axes(s));
    }
    ResultCode KESTREL_CALL accelerometerReceived16g(const Wire::Tracking::InertialSample* s) override {
        return add("accelerometer16g" + axes(s));
    }

private:
    static std::string axes(const Wire::Tracking::InertialSample* s) {
        return " " + std::to_string(s->x) + " " + std::to_string(s->y) + " " + std::to_string(s->z);
    }
    ResultCode add(std::string e) {
        events.push_back(std::move(e));
        return 0;
    }
};

} // namespace Recorders
