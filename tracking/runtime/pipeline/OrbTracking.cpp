#include "tracking/runtime/pipeline/OrbTracking.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "interface_contract/DebugLog.h"
#include "tracking/runtime/calibration/CameraProjection.h"
#include "tracking/runtime/calibration/PointUndistortion.h"
#include "tracking/runtime/inertial/LeapApplication.h"

namespace Kestrel::Orb::Tracking {

using InterfaceContract::check;
using InterfaceContract::guard;
using KestrelMath::quaternion;
using KestrelMath::vector;

namespace {

template <class T>
T& required(T* pointer) {
    if (!pointer)
        throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "null argument");
    return *pointer;
}

vector<float, 3> toFloat(const vector<double, 3>& v) { return {{float(v[0]), float(v[1]), float(v[2])}}; }

} // namespace

OrbTracking::OrbTracking(InterfaceContract::Ref<DeviceNetwork::INodeNetwork> network, DeviceNetwork::NodeHandle node,
                         InterfaceContract::Ref<IEnvironment> environment, TrackingClock clock)
    : Cotask(std::move(network), node), environment_(std::move(environment)) {
    startOptimizer(std::move(clock));
}

OrbTracking::OrbTracking(const GeometrySettings& settings, float maximumViewAngle,
                         InterfaceContract::Ref<IEnvironment> environment, TrackingClock clock)
    : environment_(std::move(environment)) {
    calibrate(settings, maximumViewAngle);
    startOptimizer(std::move(clock));
}

void OrbTracking::startOptimizer(TrackingClock clock) {
    inertial_ = std::make_unique<InertialState<double>>();
    shared_ = std::make_shared<SharedTrackingState>(std::move(clock));
    if (!environment_)
        return;
    optimizer_ = std::make_shared<OptimizerContext>(environment_, shared_, xi());
    // The thread shares the context, so a release on the thread itself can let it run out.
    optimizerThread_ = std::thread([context = optimizer_] { context->run(); });
}

OrbTracking::~OrbTracking() { stop(); }

void OrbTracking::stop() {
    if (stopped_.exchange(true))
        return;
    if (!optimizerThread_.joinable())
        return;
    FrameRecord stopFrame;
    stopFrame.leap.duration = std::numeric_limits<float>::quiet_NaN();
    shared_->push(std::move(stopFrame));
    if (optimizerThread_.get_id() == std::this_thread::get_id())
        optimizerThread_.detach();
    else
        optimizerThread_.join();
}

void OrbTracking::onDeviceReleased() {
    stop();
    Cotask::onDeviceReleased();
}

void OrbTracking::attachObserver(std::shared_ptr<TrackingObserver> observer) {
    if (!observer)
        throw std::invalid_argument("OrbTracking::attachObserver(): no observer");
    if (observerOwner_)
        throw std::logic_error("OrbTracking::attachObserver(): an observer is attached already");
    observerOwner_ = std::move(observer);
    observerOwner_->cameraDescribed(cameraView());
    if (optimizer_)
        optimizer_->attachObserver(observerOwner_);
    observer_.store(observerOwner_.get(), std::memory_order_release);
}

CameraView OrbTracking::cameraView() const {
    CameraView view;
    view.xi = xi();
    view.maximumRadiusSquared = maximumRadiusSquared();
    if (!geometrySettingsReady())
        return view;
    // The sensor's edge rows and columns, walked around, as the undistortion maps them.
    const PointUndistortion undistortion(geometrySettings());
    constexpr float left = 1.0f, right = 641.0f, top = PointUndistortion::minimumRow, bottom = PointUndistortion::endRow - 0.01f;
    constexpr int steps = 32;
    auto add = [&](float x, float y) {
        KestrelMath::vector2<float> point;
        try {
            if (undistortion.undistort(x, y, initialTemperature, point) == PointUndistortion::Outcome::Accepted)
                view.sensorOutline.push_back({{point[0], point[1]}});
        } catch (const std::exception&) {
        }
    };
    for (int k = 0; k < steps; ++k) add(left + (right - left) * float(k) / steps, top);
    for (int k = 0; k < steps; ++k) add(right, top + (bottom - top) * float(k) / steps);
    for (int k = 0; k < steps; ++k) add(right - (right - left) * float(k) / steps, bottom);
    for (int k = 0; k < steps; ++k) add(left, bottom - (bottom - top) * float(k) / steps);
    return view;
}

void OrbTracking::onAccelerometer(const KestrelMath::vector3<float>& acceleration) {
    inertial_->accelerometer(acceleration);
    if (TrackingObserver* observer = observer_.load(std::memory_order_acquire))
        observer->accelerometerSample();
}

void OrbTracking::onGyroscope(const KestrelMath::vector3<float>& rotation) {
    inertial_->gyroscope(rotation);
    if (TrackingObserver* observer = observer_.load(std::memory_order_acquire))
        observer->gyroscopeSample(rotation, gyroscopeOverflow_);
    gyroscopeOverflow_ = false;
}

void OrbTracking::onTemperature(float celsius) {
    if (TrackingObserver* observer = observer_.load(std::memory_order_acquire))
        observer->temperature(celsius);
}

void OrbTracking::onInvalidSequence() {
    if (TrackingObserver* observer = observer_.load(std::memory_order_acquire))
        observer->invalidSequence();
}

void OrbTracking::onRay(float x, float y, int32_t value) {
    const bool inView = x * x + y * y <= maximumRadiusSquared();
    if (TrackingObserver* observer = observer_.load(std::memory_order_acquire))
        observer->pointReceived(x, y, value, inView);
    if (!inView)
        return;
    ++pointCount_;
    Ray ray{};
    ray.point = {{x, y}};
    ray.direction = directionFromImagePoint(x, y, xi());
    projectionDerivative(ray.direction, xi(), ray.projectionDerivative);
    if (!frameInProgress_ || !environment_)
        return;
    InterfaceContract::Boolean accepted = InterfaceContract::BooleanFalse;
    check(environment_.get(), environment_->acceptRay(&current_.up, &ray.direction, &accepted));
    if (!accepted)
        return;
    ray.value = float(value) / 256.0f;
    ray.previousLink = -1;
    ray.markerIndex = -1;
    ray.matchedByOrientation = 0;
    current_.rays.push_back(ray);
}

void OrbTracking::onFrame() {
    if (!environment_)
        return;
    if (TrackingObserver* observer = observer_.load(std::memory_order_acquire))
        observer->frameBegan(shared_->stage());
    auto taken = inertial_->takeLeap([this](const InertialLeap<double>& leap, const AngularVelocityAverager<double>& rate,
                                            const UpCollector<double>& up) {
        if (umiHook.isRequested())
            umiHook.serve(leap, rate, up);
    });
    if (!taken.ready)
        return;
    const vector<float, 3> up = toFloat(taken.up);
    if (shared_->initialise(up))
        logLine() << "initializeInitialState";

    if (frameInProgress_) {
        if (opticsHook.isRequested())
            opticsHook.serve(current_);
        shared_->push(FrameRecord{std::move(current_), taken.leap});
    }

    const int32_t requested = requestedExposure_.load();
    if (requested != appliedExposure_.load()) {
        try {
            sendExposure(requested);
            appliedExposure_.store(requested);
        } catch (const std::exception&) {
            logLine() << "Failed to set exposure";
        }
    }

    current_ = OpticFrame{up, {}};
    frameInProgress_ = true;
    pointCount_ = 0;
}

PoseSnapshot OrbTracking::currentPose(float averagingSeconds, vector<float, 3>& angularVelocity) const {
    // Inertial mutex first, then the shared state's.
    return inertial_->withLock([&](const InertialLeap<double>& leap, const AngularVelocityAverager<double>& rate,
                                   const UpCollector<double>&) {
        PoseSnapshot snapshot = shared_->read();
        const vector<float, 3> position3Dof = snapshot.pose.position;
        applyLeapSummary(LeapSummary::of(leap), snapshot.pose.position, snapshot.pose.rotation, snapshot.pose.velocity,
                         snapshot.pose.accelerometerCorrection);
        snapshot.pose.rotation = snapshot.pose.rotation.normalized();
        if (snapshot.stage == int32_t(TrackingStage::Tracking3Dof)) {
            snapshot.pose.position = position3Dof;
            snapshot.pose.velocity = {{0, 0, 0}};
        }
        angularVelocity = toFloat(rate.average(averagingSeconds));
        return snapshot;
    });
}

State OrbTracking::state(float averagingSeconds) const {
    vector<float, 3> omega;
    const PoseSnapshot snapshot = currentPose(averagingSeconds, omega);
    return State{snapshot.pose.position, snapshot.pose.rotation, snapshot.pose.velocity, omega, snapshot.stage,
                 snapshot.stabilityValue};
}

State OrbTracking::extrapolatedState(const Placement& placement, float t) const {
    vector<float, 3> omega;
    const PoseSnapshot snapshot = currentPose(t, omega);
    vector<float, 3> position = snapshot.pose.position + snapshot.pose.velocity * t;
    quaternion<float> rotation = (snapshot.pose.rotation * quaternion<float>::fromRotationVector(omega * t)).normalized();
    rotation = (rotation * placement.rotation.conjugate()).normalized();
    position -= rotation.rotate(placement.position);
    omega = placement.rotation.rotate(omega);
    // The cross product is taken with the placement position first.
    const vector<float, 3> velocity = snapshot.pose.velocity + rotation.rotate(KestrelMath::cross(placement.position, omega));
    return State{position, rotation, velocity, omega, snapshot.stage, snapshot.stabilityValue};
}

ResultCode KESTREL_CALL OrbTracking::isFinished(InterfaceContract::Boolean* finished) {
    return Cotask::isFinished(finished);
}

ResultCode KESTREL_CALL OrbTracking::readExtrapolatedState(const Placement* placement, float seconds, State* state) {
    return guard([&] { required(state) = extrapolatedState(required(placement), seconds); });
}

ResultCode KESTREL_CALL OrbTracking::readState(float averagingSeconds, State* state) {
    return guard([&] { required(state) = this->state(averagingSeconds); });
}

} // namespace Kestrel::Orb::Tracking
