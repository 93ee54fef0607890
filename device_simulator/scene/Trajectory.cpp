#include "device_simulator/scene/Trajectory.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <random>
#include <vector>

namespace Kestrel::DeviceSimulator {

const char* trajectoryKindName(TrajectoryKind kind) {
    switch (kind) {
    case TrajectoryKind::Static: return "static";
    case TrajectoryKind::Circle: return "circle";
    case TrajectoryKind::FigureEight: return "figureEight";
    case TrajectoryKind::RandomWalk: return "randomWalk";
    case TrajectoryKind::Spin: return "spin";
    }
    return "?";
}

namespace {

// The tracker walks with its camera turned by `look` in the walker's frame, whose +z points
// along the walking direction (vx, vz). Looking down, the top edge of its image (tracker +y)
// points ahead.
Quat headingAlong(double vx, double vz, const Quat& look) { return yawRotation(std::atan2(vx, vz)) * look; }

class StaticTrajectory final : public Trajectory {
public:
    explicit StaticTrajectory(const TrajectorySpec& config) : pose_{config.centre, config.rotation.normalized()} {}
    Pose poseAt(double) const override { return pose_; }

private:
    Pose pose_;
};

class CircleTrajectory final : public Trajectory {
public:
    explicit CircleTrajectory(const TrajectorySpec& config) : spec_(config), look_(lookingAlong(config.look)) {}
    Pose poseAt(double t) const override {
        double phase = 2 * M_PI * t / spec_.period;
        Vec3 p = spec_.centre + Vec3{{spec_.radius * std::cos(phase), 0.0, spec_.radius * std::sin(phase)}};
        return {p, headingAlong(-std::sin(phase), std::cos(phase), look_)};
    }

private:
    TrajectorySpec spec_;
    Quat look_;
};

// Standing at the centre and turning at a constant rate about the tracker's own y axis, which
// is horizontal in the default orientation: gravity then sweeps through the tracker's x-z plane.
class SpinTrajectory final : public Trajectory {
public:
    explicit SpinTrajectory(const TrajectorySpec& config) : spec_(config) { spec_.rotation = spec_.rotation.normalized(); }
    Pose poseAt(double t) const override {
        return {spec_.centre, spec_.rotation * Quat::fromAxisAngle(Vec3{{0.0, 1.0, 0.0}}, spec_.turnRate * t)};
    }

private:
    TrajectorySpec spec_;
};

// Lemniscate of Gerono: x = r sin(wt), z = r sin(wt) cos(wt). Its velocity never vanishes,
// so the heading is defined everywhere.
class FigureEightTrajectory final : public Trajectory {
public:
    explicit FigureEightTrajectory(const TrajectorySpec& config) : spec_(config), look_(lookingAlong(config.look)) {}
    Pose poseAt(double t) const override {
        double phase = 2 * M_PI * t / spec_.period;
        double r = spec_.radius;
        Vec3 p = spec_.centre + Vec3{{r * std::sin(phase), 0.0, r * std::sin(phase) * std::cos(phase)}};
        return {p, headingAlong(std::cos(phase), std::cos(2 * phase), look_)};
    }

private:
    TrajectorySpec spec_;
    Quat look_;
};

// Uniform cubic B-spline through a seeded random walk of control points one second apart:
// position inside the square of half-size `radius`, heading, and a little pitch and roll.
// The spline is twice continuously differentiable, so accelerations stay finite.
class RandomWalkTrajectory final : public Trajectory {
public:
    RandomWalkTrajectory(const TrajectorySpec& config, uint64_t seed)
        : spec_(config), look_(lookingAlong(config.look)), random_(seed) {}

    Pose poseAt(double t) const override {
        double segment = std::floor(std::max(0.0, t));
        double u = std::max(0.0, t) - segment;
        std::array<double, 4> w{(1 - u) * (1 - u) * (1 - u) / 6, (3 * u * u * u - 6 * u * u + 4) / 6,
                                (-3 * u * u * u + 3 * u * u + 3 * u + 1) / 6, u * u * u / 6};
        std::array<double, 6> value{};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto first = size_t(segment);
            extendTo(first + 4);
            for (int i = 0; i < 4; ++i)
                for (int k = 0; k < 6; ++k)
                    value[k] += w[i] * controls_[first + i][k];
        }
        Vec3 p = spec_.centre + Vec3{{value[0], value[1], value[2]}};
        Quat tilt = Quat::fromRotationVector(Vec3{{value[4], 0.0, value[5]}});
        return {p, yawRotation(value[3]) * look_ * tilt};
    }

private:
    // Control point: x, y, z offsets, heading, pitch, roll.
    using Control = std::array<double, 6>;

    void extendTo(size_t count) const {
        std::normal_distribution<double> normal;
        if (controls_.empty())
            controls_.push_back(Control{});
        while (controls_.size() < count) {
            Control c = controls_.back();
            double limit = spec_.radius;
            // A step of typical length `speed`, pulled back towards the centre near the edge.
            for (int k : {0, 2}) {
                c[k] += spec_.speed * normal(random_) - 0.3 * c[k] / std::max(limit, 1e-9) * spec_.speed;
                c[k] = std::clamp(c[k], -limit, limit);
            }
            c[1] = std::clamp(c[1] + 0.03 * normal(random_), -0.1, 0.1);
            c[3] += spec_.turnRate * normal(random_);
            c[4] = std::clamp(c[4] * 0.5 + 0.08 * normal(random_), -0.25, 0.25);
            c[5] = std::clamp(c[5] * 0.5 + 0.08 * normal(random_), -0.25, 0.25);
            controls_.push_back(c);
        }
    }

    TrajectorySpec spec_;
    Quat look_;
    mutable std::mutex mutex_;
    mutable std::mt19937_64 random_;
    mutable std::vector<Control> controls_;
};

// Hand-held tremor: per axis a sum of three sines between 1.5 and 9 Hz with seeded phases.
class JitteredTrajectory final : public Trajectory {
public:
    JitteredTrajectory(std::unique_ptr<Trajectory> path, const TrajectorySpec& config, uint64_t seed)
        : path_(std::move(path)), spec_(config) {
        std::mt19937_64 random(seed ^ 0x9E3779B97F4A7C15ull);
        std::uniform_real_distribution<double> phase(0, 2 * M_PI), frequency(1.5, 9.0);
        for (auto& axis : waves_)
            for (auto& wave : axis)
                wave = {frequency(random), phase(random)};
    }

    Pose poseAt(double t) const override {
        Pose pose = path_->poseAt(t);
        Vec3 dp, dr;
        for (int k = 0; k < 3; ++k) {
            dp[k] = spec_.jitterPosition * wave(waves_[k], t);
            dr[k] = spec_.jitterAngle * wave(waves_[k + 3], t);
        }
        pose.position += dp;
        pose.rotation = pose.rotation * Quat::fromRotationVector(dr);
        return pose;
    }

private:
    struct Wave {
        double frequency, phase;
    };
    using Waves = std::array<Wave, 3>;
    static double wave(const Waves& waves, double t) {
        double sum = 0;
        for (const Wave& w : waves)
            sum += std::sin(2 * M_PI * w.frequency * t + w.phase);
        return sum / 3;
    }

    std::unique_ptr<Trajectory> path_;
    TrajectorySpec spec_;
    std::array<Waves, 6> waves_;
};

} // namespace

std::unique_ptr<Trajectory> makeTrajectory(const TrajectorySpec& config, uint64_t seed) {
    std::unique_ptr<Trajectory> path;
    switch (config.kind) {
    case TrajectoryKind::Static: path = std::make_unique<StaticTrajectory>(config); break;
    case TrajectoryKind::Circle: path = std::make_unique<CircleTrajectory>(config); break;
    case TrajectoryKind::FigureEight: path = std::make_unique<FigureEightTrajectory>(config); break;
    case TrajectoryKind::RandomWalk: path = std::make_unique<RandomWalkTrajectory>(config, seed); break;
    case TrajectoryKind::Spin: path = std::make_unique<SpinTrajectory>(config); break;
    }
    if (config.jitter)
        path = std::make_unique<JitteredTrajectory>(std::move(path), config, seed);
    return path;
}

} // namespace Kestrel::DeviceSimulator
