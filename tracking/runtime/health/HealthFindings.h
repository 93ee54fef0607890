#pragma once
// The findings of a health report: each figure that crosses its threshold becomes a sentence in
// plain words with the figures behind it and a suggestion. SessionHealth::snapshot() fills
// HealthReport::findings with them; tools that build a report otherwise can call it too.

#include <vector>

#include "tracking/runtime/health/HealthReport.h"
#include "tracking/runtime/health/HealthSettings.h"

namespace Kestrel::Orb::Tracking::Health {

// Most serious first: tracking that never reached or kept 6DoF, then the sensors, then the
// room (markers, stray lights).
std::vector<Finding> findingsOf(const HealthReport& report, const HealthSettings& settings = {});

} // namespace Kestrel::Orb::Tracking::Health
