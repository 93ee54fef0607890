#pragma once
// Scripted motion of a tracker: its centre pose in environment coordinates as a smooth function
// of simulation time. Smoothness matters: the inertial samples are derived from the same
// function by differentiation, so the optical and inertial data agree as on a real tracker.

#include <cstdint>
#include <memory>
#include <string>

#include "device_simulator/scene/Pose.h"

namespace Kestrel::DeviceSimulator {

enum class TrajectoryKind { Static, Circle, FigureEight, RandomWalk, Spin };

// Name used in scenario files ("static", "circle", "figureEight", "randomWalk", "spin").
const char* trajectoryKindName(TrajectoryKind kind);

struct TrajectorySpec {
    TrajectoryKind kind = TrajectoryKind::Static;
    Vec3 centre{{0.0, 1.68, 0.0}};      // static position, or centre of the path
    Quat rotation = lookingDown();     // static orientation, and the spin's start orientation
    double radius = 1.0;               // circle radius, half-width of the figure of eight,
                                       // half-size of the random walk's square
    double period = 12.0;              // seconds per lap (circle, figure of eight)
    double speed = 0.4;                // random walk: typical metres per second
    double turnRate = 0.5;             // random walk: typical radians per second of heading;
                                       // spin: radians per second about the tracker's own y axis
    bool jitter = false;               // hand-held tremor on top of the path
    double jitterPosition = 0.0015;    // metres, amplitude per axis
    double jitterAngle = 0.003;        // radians, amplitude per axis
    Vec3 look{{0.0, -1.0, 0.0}};       // moving paths: the camera's direction in the walker's
                                       // frame (+z ahead, +y up); see lookingAlong
};

class Trajectory {
public:
    virtual ~Trajectory() = default;
    // Pose of the tracker centre at time t (seconds, t >= 0). Safe to call from any thread.
    virtual Pose poseAt(double t) const = 0;
};

// `seed` drives the random walk and the jitter phases; the same seed gives the same motion.
std::unique_ptr<Trajectory> makeTrajectory(const TrajectorySpec& config, uint64_t seed);

} // namespace Kestrel::DeviceSimulator
