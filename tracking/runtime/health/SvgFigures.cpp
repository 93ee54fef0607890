#include "tracking/runtime/health/SvgFigures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Kestrel::Orb::Tracking::Health {

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", std::isfinite(v) ? v : 0.0);
    return text;
}

std::string colourOfRate(double rate) {
    const int red = int(std::lround(220 * (1 - rate))), green = int(std::lround(180 * rate));
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x40", std::clamp(red, 0, 255), std::clamp(green, 0, 255));
    return text;
}

} // namespace

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string svgPlot(const std::string& title, const std::string& unit, const std::vector<double>& x,
                    const std::vector<double>& y) {
    constexpr double width = 480, height = 200, left = 56, right = 12, top = 24, bottom = 28;
    const std::size_t n = std::min(x.size(), y.size());
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    if (n > 0) {
        x0 = *std::min_element(x.begin(), x.begin() + std::ptrdiff_t(n));
        x1 = *std::max_element(x.begin(), x.begin() + std::ptrdiff_t(n));
        y0 = std::min(0.0, *std::min_element(y.begin(), y.begin() + std::ptrdiff_t(n)));
        y1 = *std::max_element(y.begin(), y.begin() + std::ptrdiff_t(n));
    }
    if (!(x1 > x0))
        x1 = x0 + 1;
    if (!(y1 > y0))
        y1 = y0 + 1;
    auto px = [&](double v) { return left + (v - x0) / (x1 - x0) * (width - left - right); };
    auto py = [&](double v) { return height - bottom - (v - y0) / (y1 - y0) * (height - top - bottom); };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) + "\" height=\"" +
                      number(height) + "\" viewBox=\"0 0 " + number(width) + " " + number(height) + "\">";
    svg += "<text x=\"" + number(left) + "\" y=\"16\" font-size=\"13\">" + xmlEscaped(title) + " (" + xmlEscaped(unit) +
           ")</text>";
    svg += "<line x1=\"" + number(left) + "\" y1=\"" + number(py(y0)) + "\" x2=\"" + number(width - right) + "\" y2=\"" +
           number(py(y0)) + "\" stroke=\"#888\"/>";
    svg += "<line x1=\"" + number(left) + "\" y1=\"" + number(top) + "\" x2=\"" + number(left) + "\" y2=\"" +
           number(height - bottom) + "\" stroke=\"#888\"/>";
    svg += "<text x=\"4\" y=\"" + number(py(y1) + 4) + "\" font-size=\"11\">" + number(y1) + "</text>";
    svg += "<text x=\"4\" y=\"" + number(py(y0) + 4) + "\" font-size=\"11\">" + number(y0) + "</text>";
    svg += "<text x=\"" + number(left) + "\" y=\"" + number(height - 8) + "\" font-size=\"11\">" + number(x0) + " s</text>";
    svg += "<text x=\"" + number(width - right - 40) + "\" y=\"" + number(height - 8) + "\" font-size=\"11\">" +
           number(x1) + " s</text>";
    if (n > 0) {
        svg += "<polyline fill=\"none\" stroke=\"#1f6fb4\" stroke-width=\"1.5\" points=\"";
        for (std::size_t k = 0; k < n; ++k)
            svg += number(px(x[k])) + "," + number(py(y[k])) + " ";
        svg += "\"/>";
    }
    return svg + "</svg>";
}

std::string svgHeatMap(const ImageHeatMap& map) {
    constexpr double side = 256;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">";
    svg += "<rect width=\"256\" height=\"256\" fill=\"#f4f4f4\"/>";
    uint32_t most = 0;
    for (uint32_t c : map.counts)
        most = std::max(most, c);
    const int n = map.size;
    if (n > 0 && most > 0 && map.counts.size() == std::size_t(n * n)) {
        const double cell = side / n;
        for (int row = 0; row < n; ++row)
            for (int column = 0; column < n; ++column) {
                const uint32_t c = map.counts[std::size_t(row * n + column)];
                if (c == 0)
                    continue;
                // Square root: a few hot cells should not hide the rest.
                const double shade = std::sqrt(double(c) / double(most));
                svg += "<rect x=\"" + number(column * cell) + "\" y=\"" + number(row * cell) + "\" width=\"" +
                       number(cell) + "\" height=\"" + number(cell) + "\" fill=\"#d03000\" fill-opacity=\"" +
                       number(0.1 + 0.9 * shade) + "\"/>";
            }
    }
    svg += "<circle cx=\"128\" cy=\"128\" r=\"128\" fill=\"none\" stroke=\"#666\"/>";
    return svg + "</svg>";
}

std::string svgRoom(const std::vector<MarkerFigures>& markers, const std::vector<StraySource>& strays) {
    constexpr double side = 360, margin = 20;
    double x0 = -1, x1 = 1, z0 = -1, z1 = 1;
    auto include = [&](const Point3& p) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), z0 = std::min(z0, p.z), z1 = std::max(z1, p.z);
    };
    for (const MarkerFigures& m : markers)
        include(m.position);
    for (const StraySource& s : strays)
        include(s.triangulated ? s.triangulatedPosition : s.position);
    const double span = std::max(x1 - x0, z1 - z0);
    auto px = [&](double x) { return margin + (x - x0) / span * (side - 2 * margin); };
    auto pz = [&](double z) { return margin + (z - z0) / span * (side - 2 * margin); };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"360\" height=\"360\" viewBox=\"0 0 360 360\">";
    svg += "<rect width=\"360\" height=\"360\" fill=\"#fafafa\" stroke=\"#ccc\"/>";
    for (const MarkerFigures& m : markers) {
        const std::string colour = m.framesInView > 0 ? colourOfRate(m.matchRate) : "#aaaaaa";
        svg += "<circle cx=\"" + number(px(m.position.x)) + "\" cy=\"" + number(pz(m.position.z)) +
               "\" r=\"4\" fill=\"" + colour + "\"><title>marker " + std::to_string(m.index) + ": " +
               number(100 * m.matchRate) + " %</title></circle>";
    }
    for (const StraySource& s : strays) {
        if (s.nearMarker >= 0)
            continue;
        const Point3& p = s.triangulated ? s.triangulatedPosition : s.position;
        const double x = px(p.x), z = pz(p.z);
        svg += "<path d=\"M" + number(x - 5) + " " + number(z - 5) + " L" + number(x + 5) + " " + number(z + 5) + " M" +
               number(x - 5) + " " + number(z + 5) + " L" + number(x + 5) + " " + number(z - 5) +
               "\" stroke=\"#f08000\" stroke-width=\"2\"/>";
    }
    return svg + "</svg>";
}

} // namespace Kestrel::Orb::Tracking::Health
