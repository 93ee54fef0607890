#pragma once
// The small tilt left after levelling, searched so that the seen bars, cast onto the floor,
// have the shape of a bar; then the floor points scaled to metres.
//
// Rays are levelled (up is +y). The tilt T = exp((a, 0, b)) turns them further about the x and
// z axes; a ray r then meets the plane one unit below the camera at
//     f(r) = (r'_x, r'_z) / -r'_y,  r' = T r.
// For every bar with floor points f0 (first), f1 (middle), f2 (last) let l = |f2 - f0| and
// l_mean the mean over the bars. The residuals are, per bar,
//     l / l_mean - 1                  (a bar is as long as every other bar)
//     |f1 - f0| / l - middleRatio     (the middle marker sits where it should)
// both of which vanish on a true floor plane. (a, b) start at 0 and take two damped steps
// (Solver, 2 passes of at most 21 trials, damping from 0.001). The Jacobian is taken by
// central differences (step 1e-6 rad): two parameters, a few bars.
//
// Scaling: with s = barLength / l_mean the floor points s f are metres on the floor with the
// camera's foot at the origin, and s is the camera's height above the floor.

#include <vector>

#include <Eigen/Core>
#include <Eigen/Geometry>

#include "tracking/environments/EnvironmentTypes.h"
#include "tracking/environments/QuadrangleSideAssignment.h"

namespace Kestrel::Orb::Tracking {

struct FloorView {
    Eigen::Quaterniond tilt = Eigen::Quaterniond::Identity();  // levelled frame -> floor frame
    double height = 0;                                         // camera above the floor, metres
    std::vector<FloorBar> bars;                                // one per detected bar, metres
    bool valid = false;                                        // every bar point lies below the horizon
};

// Needs at least two bars (with fewer, the lengths say nothing about the tilt).
FloorView searchTilt(const std::vector<Eigen::Vector3d>& levelledRays, const std::vector<Bar>& bars,
                     double barLength, double middleRatio);

// f(T r) for one ray; not finite for rays at or above the horizon.
Eigen::Vector2d floorPoint(const Eigen::Quaterniond& tilt, const Eigen::Vector3d& levelledRay);

} // namespace Kestrel::Orb::Tracking
