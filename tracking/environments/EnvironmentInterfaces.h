#pragma once
// The environment as the tracking runtime and the viewers see it across the object ABI.

#include "interface_contract/Interfaces.h"
#include "tracking/environments/EnvironmentTypes.h"

namespace Kestrel::Orb::Tracking {

using InterfaceContract::Boolean;
using InterfaceContract::IInterface;
using InterfaceContract::InArray;
using InterfaceContract::InterfaceId;
using InterfaceContract::makeInterfaceId;
using InterfaceContract::OutArray;
using InterfaceContract::ResultCode;

// A marker layout that turns camera rays into marker indices and, when no pose is known yet,
// into the tracker's pose. Rays are unit directions; in matchRays they are in the tracker frame
// (camera looking along -y), in matchNearPosition in environment coordinates.
// Every method returns 0, or an error code with the thread's last-error message set;
// a null out-pointer is 0x80070057.
struct IEnvironment : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("C257C858-F296-43B7-B6B5-C14B9AFB1A13");

    // slot 3: whether the layout refines itself while tracking (it then also answers
    // IEnvironmentMutable).
    virtual ResultCode KESTREL_CALL isAdaptive(Boolean* adaptive) = 0;
    // slot 4: the markers as Vec3f elements, environment coordinates; a marker's position in
    // this list is its MarkerIndex.
    virtual ResultCode KESTREL_CALL markerPositions(OutArray* positions) = 0;
    // slot 5: whether a ray (tracker frame) can see a marker, given the up direction in the
    // same frame. Null vectors are 0x80070057.
    virtual ResultCode KESTREL_CALL acceptRay(const Vec3f* up, const Vec3f* ray, Boolean* accepted) = 0;
    // slot 6: identifies markers from the rays alone (Vec3f elements). *found tells whether it
    // did; then `indices` receives one MarkerIndex per ray and *pose the tracker's pose. When
    // the rays are too few for the kind, *found is false and neither output is touched.
    virtual ResultCode KESTREL_CALL matchRays(InArray* rays, Boolean* found, OutArray* indices, Pose* pose) = 0;
    // slot 7: matches rays (Vec3f, environment coordinates) cast from `origin` against the
    // marker plane; `indices` receives one MarkerIndex per ray (-2 where no unique marker lies
    // near the hit, -1 for rays that hit the same marker as another ray).
    virtual ResultCode KESTREL_CALL matchNearPosition(InArray* rays, const Vec3f* origin, OutArray* indices) = 0;
};

// One ray of a camera frame as the optimiser hands it to an adaptive environment.
struct EnvironmentUpdateRay {
    int32_t value;
    Vec3f direction;                // unit length, tracker frame
    Vec2f imagePoint;
    float projectionDerivative[6];  // d(image point) / d(direction), row-major 2 x 3
};
static_assert(sizeof(EnvironmentUpdateRay) == 48, "update rays cross the ABI as 12 words");

// The face of an adaptive environment through which the runtime feeds frames.
struct IEnvironmentMutable : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("E664544B-AFD5-4723-949A-9A888526EF97");

    // slot 3: feeds one frame: the rays (EnvironmentUpdateRay elements), the camera model's xi
    // and the up direction (tracker frame). *changed is true when this call produced a new
    // solution. A null `up` or `changed` is 0x80070057.
    virtual ResultCode KESTREL_CALL update(InArray* rays, float xi, const Vec3f* up, Boolean* changed) = 0;
    // slot 4: the solve counter, -1 before the first solution.
    virtual ResultCode KESTREL_CALL revision(int32_t* revision) = 0;
};

} // namespace Kestrel::Orb::Tracking
