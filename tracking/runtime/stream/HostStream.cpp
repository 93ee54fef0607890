#include "tracking/runtime/stream/HostStream.h"

#include <iostream>
#include <stdexcept>

namespace Kestrel::DeviceNetwork::Tasks::Orb::OpticalPointsCompression {

using InterfaceContract::check;
using InterfaceContract::guard;

namespace {

constexpr unsigned mantissaBits = 5;
constexpr int32_t valueScale = 4;

template <class T>
const T& required(const T* pointer) {
    if (!pointer)
        throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "null payload");
    return *pointer;
}

} // namespace

int32_t decodeBlobValue(uint8_t code) {
    unsigned exponent = code >> mantissaBits;
    unsigned mantissa = code & ((1u << mantissaBits) - 1);
    uint16_t value = uint16_t((mantissa << exponent) + (1u << mantissaBits) * ((1u << exponent) - 1));
    return int32_t(value) * valueScale;
}

Tracking::OpticalPoint decodePoint(const CompressedPoint& point) {
    return {decodeBlobValue(point.value), float(point.x) / 65535.0f * 640.0f + 1.0f,
            float(point.y) / 65535.0f * 480.0f + 1.0f};
}

HostStream::HostStream(InterfaceContract::Ref<Tracking::IDeviceToHost> target, std::function<void()> onInvalidSequence)
    : target_(std::move(target)), onInvalidSequence_(std::move(onInvalidSequence)) {
    if (!target_)
        throw std::invalid_argument("HostStream: no target");
    previous_.reserve(64);
    current_.reserve(64);
}

ResultCode HostStream::beginFrame() {
    return guard([&] {
        previous_.swap(current_);
        current_.clear();
        if (!currentIsReference_)
            for (StoredPoint& stored : previous_)
                stored.known = false;
        currentIsReference_ = true;
        frameDropped_ = false;
        // Reset before forwarding, so that a failing target cannot leave the index behind.
        referenceIndex_ = 0;
        check(target_.get(), target_->beginFrame());
    });
}

ResultCode HostStream::temperature(const WireFloat* celsius) {
    return guard([&] { check(target_.get(), target_->temperatureReceived(required(celsius).value)); });
}

ResultCode HostStream::gyroscope(const InertialSample* sample) {
    return guard([&] { check(target_.get(), target_->gyroscopeReceived(&required(sample))); });
}

ResultCode HostStream::forwardAccelerometer(
    const InertialSample* sample, ResultCode (KESTREL_CALL Tracking::IDeviceToHost::*method)(const InertialSample*)) {
    return guard([&] { check(target_.get(), (target_.get()->*method)(&required(sample))); });
}

ResultCode HostStream::accelerometer2g(const InertialSample* s) {
    return forwardAccelerometer(s, &Tracking::IDeviceToHost::accelerometerReceived2g);
}
ResultCode HostStream::accelerometer4g(const InertialSample* s) {
    return forwardAccelerometer(s, &Tracking::IDeviceToHost::accelerometerReceived4g);
}
ResultCode HostStream::accelerometer8g(const InertialSample* s) {
    return forwardAccelerometer(s, &Tracking::IDeviceToHost::accelerometerReceived8g);
}
ResultCode HostStream::accelerometer16g(const InertialSample* s) {
    return forwardAccelerometer(s, &Tracking::IDeviceToHost::accelerometerReceived16g);
}

void HostStream::addPoint(const CompressedPoint& point, bool known, std::exception_ptr& failure) {
    current_.push_back({point, known});
    ++referenceIndex_;
    if (!known || frameDropped_)
        return;
    try {
        Tracking::OpticalPoint decoded = decodePoint(point);
        check(target_.get(), target_->pointReceived(&decoded));
    } catch (...) {
        frameDropped_ = true;
        if (!failure)
            failure = std::current_exception();
    }
}

bool HostStream::hasReference(int64_t index) const { return index >= 0 && index < int64_t(previous_.size()); }

void HostStream::reportInvalidSequence() {
    currentIsReference_ = false;
    std::cout << "Invalid stream sequence!!!" << std::endl;
    if (onInvalidSequence_)
        onInvalidSequence_();
}

void HostStream::addDelta(const PointDelta& delta, std::exception_ptr& failure) {
    if (!hasReference(referenceIndex_)) {
        reportInvalidSequence();
        return;
    }
    const StoredPoint& reference = previous_[std::size_t(referenceIndex_)];
    addPoint(applyDelta(reference.point, delta), reference.known, failure);
}

namespace {
void rethrowIf(const std::exception_ptr& failure) {
    if (failure)
        std::rethrow_exception(failure);
}
} // namespace

ResultCode HostStream::addPoints(const CompressedPoint* points, int count) {
    return guard([&] {
        required(points);
        std::exception_ptr failure;
        for (int i = 0; i < count; ++i)
            addPoint(points[i], true, failure);
        rethrowIf(failure);
    });
}

ResultCode HostStream::addDeltas(const PointDelta* deltas, int count) {
    return guard([&] {
        required(deltas);
        std::exception_ptr failure;
        for (int i = 0; i < count; ++i)
            addDelta(deltas[i], failure);
        rethrowIf(failure);
    });
}

ResultCode HostStream::insertedPointAndDelta(const InsertedPointAndDelta* payload) {
    return guard([&] {
        const InsertedPointAndDelta& p = required(payload);
        std::exception_ptr failure;
        addPoint(p.point, true, failure);
        --referenceIndex_;  // the inserted point consumes no reference
        addDelta(p.delta, failure);
        rethrowIf(failure);
    });
}

ResultCode HostStream::skipAndDelta(const PointDelta* delta) {
    return guard([&] {
        const PointDelta& d = required(delta);
        ++referenceIndex_;
        std::exception_ptr failure;
        addDelta(d, failure);
        rethrowIf(failure);
    });
}

ResultCode HostStream::crossedDeltas(const PointDelta* deltas) {
    return guard([&] {
        required(deltas);
        int64_t r = referenceIndex_;
        if (!hasReference(r) || !hasReference(r + 1)) {
            reportInvalidSequence();
            return;
        }
        const StoredPoint& firstReference = previous_[std::size_t(r + 1)];
        const StoredPoint& secondReference = previous_[std::size_t(r)];
        const CompressedPoint first = applyDelta(firstReference.point, deltas[0]);
        const CompressedPoint second = applyDelta(secondReference.point, deltas[1]);
        std::exception_ptr failure;
        addPoint(first, firstReference.known, failure);
        addPoint(second, secondReference.known, failure);
        rethrowIf(failure);
    });
}

} // namespace Kestrel::DeviceNetwork::Tasks::Orb::OpticalPointsCompression
