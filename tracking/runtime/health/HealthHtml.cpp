#include <cstdio>

#include "tracking/runtime/health/HealthDocuments.h"
#include "tracking/runtime/health/SvgFigures.h"

namespace Kestrel::Orb::Tracking::Health {

namespace {

// One series of the windows: x the window's middle, y `of(window)`.
template <class F>
std::string windowPlot(const HealthReport& r, const std::string& title, const std::string& unit, F of) {
    std::vector<double> x, y;
    for (const HealthWindow& w : r.windows) {
        x.push_back(w.start + 0.5 * w.duration);
        y.push_back(of(w));
    }
    return "<figure>" + svgPlot(title, unit, x, y) + "</figure>\n";
}

std::string escapedBlock(const std::string& text) { return "<pre>" + xmlEscaped(text) + "</pre>\n"; }

} // namespace

std::string healthHtml(const HealthReport& r, const std::string& title) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
                       xmlEscaped(title) + "</title>\n<style>\n"
                       "body { font-family: sans-serif; margin: 24px; color: #222; }\n"
                       "figure { display: inline-block; margin: 8px; vertical-align: top; }\n"
                       "li.finding { margin-bottom: 8px; }\n"
                       ".evidence, .suggestion { color: #555; font-size: 90%; }\n"
                       "</style>\n</head>\n<body>\n<h1>" +
                       xmlEscaped(title) + "</h1>\n";
    html += "<h2>Findings</h2>\n";
    if (r.findings.empty()) {
        html += "<p>No finding: nothing in this session needs attention.</p>\n";
    } else {
        html += "<ul>\n";
        for (const Finding& f : r.findings)
            html += "<li class=\"finding\"><strong>" + xmlEscaped(f.text) + "</strong><br/><span class=\"evidence\">" +
                    xmlEscaped(f.evidence) + "</span><br/><span class=\"suggestion\">" + xmlEscaped(f.suggestion) +
                    "</span></li>\n";
        html += "</ul>\n";
    }
    html += "<h2>Over time</h2>\n";
    html += windowPlot(r, "Optical frames per second", "1/s",
                       [](const HealthWindow& w) { return w.duration > 0 ? double(w.frames) / w.duration : 0.0; });
    html += windowPlot(r, "Lost optical frames", "frames", [](const HealthWindow& w) { return double(w.lostFrames); });
    html += windowPlot(r, "Gyroscope samples per second", "1/s", [](const HealthWindow& w) {
        return w.duration > 0 ? double(w.gyroscopeSamples) / w.duration : 0.0;
    });
    html += windowPlot(r, "Points per frame", "points", [](const HealthWindow& w) { return w.pointsPerFrame; });
    html += windowPlot(r, "Mean blob value", "value", [](const HealthWindow& w) { return w.meanBlobValue; });
    html += windowPlot(r, "Unmatched rays per 6DoF frame", "rays", [](const HealthWindow& w) { return w.unmatchedRaysPerFrame; });
    html += windowPlot(r, "Optimiser quality", "eigenvalue", [](const HealthWindow& w) { return w.meanQuality; });
    html += windowPlot(r, "Tracking stage", "stage", [](const HealthWindow& w) { return double(w.stage); });
    html += "<h2>Stray blobs in the image</h2>\n<figure>" + svgHeatMap(r.strayImage) + "</figure>\n";
    html += "<h2>Room, seen from above</h2>\n<figure>" + svgRoom(r.markers, r.straySources) +
            "<figcaption>markers from red (never matched) to green (always); orange crosses: stray lights</figcaption></figure>\n";
    html += "<h2>Figures</h2>\n" + escapedBlock(healthText(r));
    return html + "</body>\n</html>\n";
}

} // namespace Kestrel::Orb::Tracking::Health
