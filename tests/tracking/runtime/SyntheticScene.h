#pragma once
// A tracker moving through a field of floor markers, built from first principles for the
// optimiser tests: trajectory p(t) = p0 + v0 t + a t^2 / 2 and R(t) = R0 exp(w t) (w in the
// tracker frame), frames every 5 ms, leaps defined by the trajectory itself.

#include <cmath>
#include <random>
#include <vector>

#include <Eigen/Geometry>

#include "tracking/runtime/calibration/CameraProjection.h"
#include "tracking/runtime/pipeline/History.h"
#include "tracking/runtime/optimizer/OptimizerState.h"

namespace TrackingTest {

using namespace Kestrel::Orb::Tracking;

inline KestrelMath::vector<float, 3> f3(const Eigen::Vector3d& v) { return {{float(v.x()), float(v.y()), float(v.z())}}; }
inline Eigen::Vector3d d3(const KestrelMath::vector<float, 3>& v) { return {v[0], v[1], v[2]}; }
inline void setRotation(LeapSummary& leap, const Eigen::Quaterniond& q) {
    leap.rotation[0] = float(q.x());
    leap.rotation[1] = float(q.y());
    leap.rotation[2] = float(q.z());
    leap.rotation[3] = float(q.w());
}

// Image point of the unit camera-frame direction d, written out here apart from the code
// under test: (d_x, d_y) / |(d_x, d_y, d_z + xi)|.
inline Eigen::Vector2d imagePoint(const Eigen::Vector3d& d, double xi) {
    return d.head<2>() / std::sqrt(d.x() * d.x() + d.y() * d.y() + (d.z() + xi) * (d.z() + xi));
}

struct SyntheticScene {
    double xi = 0.8;
    double frameTime = 0.005;
    std::vector<KestrelMath::vector<float, 3>> markers;
    Eigen::Vector3d p0{0.1, 1.5, -0.2}, v0{0.3, 0.0, -0.1}, acceleration{0.2, -0.1, 0.3};
    Eigen::Vector3d angularVelocity{0.2, -0.4, 0.3};  // rad/s, tracker frame
    // Camera axis (+z of the tracker) looks down, slightly tilted.
    Eigen::Quaterniond r0 = Eigen::Quaterniond(Eigen::AngleAxisd(0.1, Eigen::Vector3d::UnitY())) *
                            Eigen::Quaterniond(Eigen::AngleAxisd(M_PI / 2 + 0.15, Eigen::Vector3d::UnitX()));

    SyntheticScene() {
        for (int i = -2; i <= 2; ++i)
            for (int j = -1; j <= 1; ++j)
                markers.push_back({{float(0.45 * i + 0.07 * j), 0.0f, float(0.5 * j - 0.05 * i)}});
    }

    Eigen::Vector3d position(double t) const { return p0 + v0 * t + 0.5 * acceleration * t * t; }
    Eigen::Vector3d velocity(double t) const { return v0 + acceleration * t; }
    Eigen::Quaterniond rotation(double t) const {
        const double angle = angularVelocity.norm() * t;
        return r0 * Eigen::Quaterniond(Eigen::AngleAxisd(angle, angularVelocity.normalized()));
    }
    Eigen::Vector3d camera(double t) const { return position(t) + 0.0162 * (rotation(t) * Eigen::Vector3d::UnitZ()); }

    // Leap over [t, t + dt], defined so that applying it reproduces the trajectory:
    //   p(t+dt) = p + v dt + R (dp + Sp c) - 4.905 dt^2 y, v(t+dt) = v + R (dv + Sv c) - 9.81 dt y.
    LeapSummary leap(double t) const {
        const double dt = frameTime;
        LeapSummary leap{};
        leap.duration = float(dt);
        const Eigen::Matrix3d rt = rotation(t).conjugate().toRotationMatrix();
        const Eigen::Vector3d g(0, 9.81, 0);
        const Eigen::Vector3d dp = rt * (position(t + dt) - position(t) - velocity(t) * dt + 0.5 * g * dt * dt);
        const Eigen::Vector3d dv = rt * (velocity(t + dt) - velocity(t) + g * dt);
        for (int i = 0; i < 3; ++i) {
            leap.positionDelta[i] = float(dp[i]);
            leap.velocityDelta[i] = float(dv[i]);
        }
        const Eigen::Quaterniond q = rotation(t).conjugate() * rotation(t + dt);
        setRotation(leap, q);
        // Sensitivities: integrals of 9.81 R_rel(s) over the leap, midpoint rule at 2000 Hz.
        Eigen::Matrix3d sv = Eigen::Matrix3d::Zero(), sp = Eigen::Matrix3d::Zero();
        const int steps = int(std::lround(dt / 5e-4));
        const double h = dt / steps;
        for (int k = 0; k < steps; ++k) {
            const Eigen::Matrix3d rel = (rotation(t).conjugate() * rotation(t + (k + 0.5) * h)).toRotationMatrix();
            sp += sv * h + 9.81 * rel * h * h / 2;
            sv += 9.81 * rel * h;
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                leap.positionSensitivity[r * 3 + c] = float(sp(r, c));
                leap.velocitySensitivity[r * 3 + c] = float(sv(r, c));
            }
        return leap;
    }

    // The rays of the frame at time t: every marker in front of the camera, labelled with its
    // index when `labelled`, image points with Gaussian noise of `noise`.
    FrameRecord frame(double t, bool labelled, double noise = 0, std::mt19937* random = nullptr) const {
        FrameRecord record;
        record.leap = leap(t);
        const Eigen::Vector3d up = rotation(t).conjugate() * Eigen::Vector3d::UnitY();
        record.frame.up = f3(up);
        std::normal_distribution<double> gauss(0.0, 1.0);
        for (std::size_t m = 0; m < markers.size(); ++m) {
            const Eigen::Vector3d d = (rotation(t).conjugate() * (d3(markers[m]) - camera(t))).normalized();
            if (d.z() < 0.3)
                continue;
            Eigen::Vector2d point = imagePoint(d, xi);
            if (random)
                point += noise * Eigen::Vector2d(gauss(*random), gauss(*random));
            Ray ray{};
            ray.point = {{float(point.x()), float(point.y())}};
            ray.direction = directionFromImagePoint(ray.point[0], ray.point[1], float(xi));
            projectionDerivative(ray.direction, float(xi), ray.projectionDerivative);
            ray.value = 0.5f;
            ray.previousLink = -1;
            ray.markerIndex = labelled ? MarkerIndex(m) : -1;
            record.frame.rays.push_back(ray);
        }
        return record;
    }

    // History of `frames` frames ending at time 0 (the newest frame).
    History history(int frames, bool labelled = true) const {
        History h;
        for (int k = frames - 1; k >= 0; --k)
            h.add(frame(-k * frameTime, labelled));
        return h;
    }

    OptimizerState truth(double t = 0) const {
        OptimizerState s;
        s.position = f3(position(t));
        const Eigen::Quaterniond q = rotation(t);
        s.rotation = {float(q.x()), float(q.y()), float(q.z()), float(q.w())};
        s.velocity = f3(velocity(t));
        s.accelerometerCorrection = {{0, 0, 0}};
        return s;
    }
};

} // namespace TrackingTest
