#pragma once
// Rigid pose of a tracker in environment coordinates (metres, y up) and the small rotation
// helpers the simulator needs on top of KestrelMath.

#include "interface_contract/KestrelMath.h"

namespace Kestrel::DeviceSimulator {

using Vec3 = KestrelMath::vector3<double>;
using Quat = KestrelMath::quaternion<double>;

struct Pose {
    Vec3 position;       // tracker centre, environment frame
    Quat rotation;       // rotation_environment_tracker: tracker axes into the environment
};

// Rotation vector (axis times angle, radians) of a unit quaternion; the shorter of the two
// equivalent rotations.
Vec3 rotationVector(const Quat& q);

// Rotation about the environment's y axis by `angle` radians.
Quat yawRotation(double angle);

// The tracker orientation used by default: its camera axis (+z) points straight down, its x
// axis along the environment's x axis.
Quat lookingDown();

// The tracker orientation whose camera axis (+z) points along `direction` (any length but
// zero) in a walker's frame (+z ahead, +y up): a pitch about x, then a turn about y. Straight
// down gives lookingDown() (image top ahead); straight up turns +z onto +y with the image top
// behind.
Quat lookingAlong(const Vec3& direction);

} // namespace Kestrel::DeviceSimulator
