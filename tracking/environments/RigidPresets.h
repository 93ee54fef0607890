#pragma once
// Named rigid layouts of the legacy (version 0) rigid code. Every preset has ceiling = false
// and planeHeight = 0.

#include <array>
#include <string_view>

namespace Kestrel::Orb::Tracking {

struct RigidPreset {
    const char* name;
    float barLength;
    float barAngle;
    float middleRatio;
    float tileSize;
    float barOffsetX;
    float barOffsetY;
};

// In lookup order; the first exact match wins.
const std::array<RigidPreset, 6>& rigidPresets();

// The preset named exactly `name`, or null.
const RigidPreset* findRigidPreset(std::string_view name);

} // namespace Kestrel::Orb::Tracking
