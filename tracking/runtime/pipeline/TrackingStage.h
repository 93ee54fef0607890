#pragma once
// The tracking stage; the order is part of the protocol with the viewers.

#include <cstdint>

namespace Kestrel::Orb::Tracking {

enum class TrackingStage : int32_t {
    InertialDataInitialization = 0,
    Tracking3Dof = 1,
    Tracking6Dof = 2,
    TrackingBlind6Dof = 3,
};

// "InertialDataInitialization", "Tracking3Dof", "Tracking6Dof", "TrackingBlind6Dof"; "" otherwise.
const char* stageName(int32_t stage);

} // namespace Kestrel::Orb::Tracking
