#include "tracking/environments/RigidPresets.h"

namespace Kestrel::Orb::Tracking {

const std::array<RigidPreset, 6>& rigidPresets() {
    // Each value is the float nearest to the decimal written.
    static const std::array<RigidPreset, 6> presets{{
        {"puzzle", 1.5f, 0.0f, 0.33333334f, 0.6f, 0.0f, 0.0f},
        {"puzzle58", 1.5f, 0.0f, 0.33333334f, 0.58f, 0.0f, 0.0f},
        {"yellow", 1.0728674f, -0.055555996f, 0.31304061f, 0.6f, 0.3f, 0.0f},
        {"ceiling", 0.87117052f, -0.10085706f, 0.4f, 0.6f, 0.3f, 0.0f},
        {"custom2x", 1.0728674f, -0.055555996f, 0.31304061f, 0.6f, 0.3f, 0.0f},
        {"custom3x", 1.5f, 0.0f, 0.3333f, 0.6f, 0.0f, 0.0f},
    }};
    return presets;
}

const RigidPreset* findRigidPreset(std::string_view name) {
    for (const RigidPreset& preset : rigidPresets())
        if (name == preset.name)
            return &preset;
    return nullptr;
}

} // namespace Kestrel::Orb::Tracking
