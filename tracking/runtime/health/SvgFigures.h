#pragma once
// The figures of the HTML health report as inline SVG elements: a plot over time, the heat map
// of stray blobs in the image, and a top view of the room. Each returns one <svg> element.

#include <string>
#include <vector>

#include "tracking/runtime/health/HealthReport.h"

namespace Kestrel::Orb::Tracking::Health {

// A line of (x, y) points with axes from the data's range (y from 0 when all are positive).
std::string svgPlot(const std::string& title, const std::string& unit, const std::vector<double>& x,
                    const std::vector<double>& y);
// Cells shaded by their count, the image's unit disk outlined; row 0 (y = -1) at the top.
std::string svgHeatMap(const ImageHeatMap& map);
// x to the right, z downwards; markers coloured from red (never matched) to green (always) by
// their match rate, grey when never in view; stray sources marked as orange crosses.
std::string svgRoom(const std::vector<MarkerFigures>& markers, const std::vector<StraySource>& strays);

// Text for an XML text node or attribute: & < > " escaped.
std::string xmlEscaped(const std::string& text);

} // namespace Kestrel::Orb::Tracking::Health
