#pragma once
// One bar of three markers on the environment's x axis, centred on the origin.

#include "tracking/environments/OrbEnvironment.h"

namespace Kestrel::Orb::Tracking {

class OrbEnvironmentSingle final : public OrbEnvironment {
public:
    OrbEnvironmentSingle(float barLength, float middleRatio);
    // The IEnvironment overloads stay visible beside the ones overridden here.
    using OrbEnvironment::markerPositions;
    using OrbEnvironment::matchRays;

    // Needs exactly one bar among the rays. Indices: 0, 1, 2 for the bar's first, middle and
    // last ray, -1 for every other ray. A single bar does not fix the turn about its own axis:
    // the pose's rotation is the one that turns the bar's direction onto +x without a turn
    // about the bar (elevation first, then azimuth about y), and the position is expressed in
    // that frame.
    bool matchRays(const std::vector<Vec3f>& rays, std::vector<MarkerIndex>& indices, Pose& pose) override;
    std::vector<Vec3f> markerPositions() const override;
};

} // namespace Kestrel::Orb::Tracking
