#pragma once
// A health report written out: plain text for a terminal, JSON for programs, and one
// self-contained HTML page (its figures inline SVG, no links, no scripts) to send or attach to
// a ticket.

#include <string>

#include "tracking/runtime/health/HealthReport.h"

namespace Kestrel::Orb::Tracking::Health {

std::string healthText(const HealthReport& report);
// One JSON object; numbers that are not finite are written as null.
std::string healthJson(const HealthReport& report);
// `title` heads the page (escaped).
std::string healthHtml(const HealthReport& report, const std::string& title);

} // namespace Kestrel::Orb::Tracking::Health
