#include <cstdarg>
#include <cstdio>

#include "tracking/runtime/health/HealthDocuments.h"
#include "tracking/runtime/pipeline/TrackingStage.h"

namespace Kestrel::Orb::Tracking::Health {

namespace {

void line(std::string& out, const char* pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    out += text;
    out += '\n';
}

} // namespace

std::string healthText(const HealthReport& r) {
    std::string out;
    line(out, "Session: %.1f s", r.seconds);
    if (r.findings.empty()) {
        line(out, "Findings: none");
    } else {
        line(out, "Findings:");
        for (const Finding& f : r.findings) {
            line(out, "  - %s", f.text.c_str());
            line(out, "      evidence: %s", f.evidence.c_str());
            line(out, "      suggestion: %s", f.suggestion.c_str());
        }
    }
    const OpticalFigures& o = r.optical;
    line(out, "Optical: %lld frames, %.2f per second, interval %.3f ms, jitter %.3f ms", (long long)o.frames, o.frameRate,
         o.intervalMs, o.intervalJitterMs);
    line(out, "  lost %lld frames (%.2f %%), %lld \"Invalid stream sequence\" events", (long long)o.lostFrames,
         100 * o.lostShare, (long long)o.invalidSequences);
    line(out, "  %.2f points per frame, %.2f in view; blob value mean %.0f, maximum %.0f, matched %.0f; %lld saturated (%.2f %%)",
         o.pointsPerFrame, o.raysPerFrame, o.meanBlobValue, o.maximumBlobValue, o.matchedBlobValue,
         (long long)o.saturatedBlobs, 100 * o.saturatedShare);
    const InertialFigures& i = r.inertial;
    line(out, "Inertial: gyroscope %.1f, accelerometer %.1f samples per second; %lld gaps, %lld samples missing, longest %.1f ms; %lld overflows",
         i.gyroscopeRate, i.accelerometerRate, (long long)i.gaps, (long long)i.missingSamples, i.longestGapMs,
         (long long)i.overflows);
    if (i.hasTemperature)
        line(out, "  temperature %.1f C (%.1f to %.1f)", i.temperature, i.temperatureMin, i.temperatureMax);
    const PipelineFigures& p = r.pipeline;
    line(out, "Tracking: time to 6DoF %s; %s %.1f s, %s %.1f s, %s %.1f s, %s %.1f s",
         p.timeTo6Dof < 0 ? "never" : (std::to_string(p.timeTo6Dof).substr(0, 6) + " s").c_str(), stageName(0),
         p.stageSeconds[0], stageName(1), p.stageSeconds[1], stageName(2), p.stageSeconds[2], stageName(3), p.stageSeconds[3]);
    line(out, "  %lld blind periods, %lld losses (%lld with markers in view), %lld re-identifications",
         (long long)p.blindEpisodes, (long long)p.losses, (long long)p.lossesInView, (long long)p.reidentifications);
    line(out, "  optimiser: %lld batches, %lld failed of %lld with markers; quality mean %.4g, 5th percentile %.4g; %.3f ms matching, %.3f ms optimising per batch",
         (long long)p.batches, (long long)p.failures, (long long)p.optimizations, p.meanQuality, p.lowQuality, p.matchingMs,
         p.optimizingMs);
    line(out, "  in 6DoF: %.2f matched and %.2f unmatched rays per frame", p.matchedRaysPerFrame, p.unmatchedRaysPerFrame);
    if (r.lag.found)
        line(out, "Inertial lag: %.2f ms (correlation %.2f, %lld frame pairs, %d stretches)", r.lag.milliseconds,
             r.lag.correlation, (long long)r.lag.pairs, r.lag.segments);
    else
        line(out, "Inertial lag: not estimated (the motion did not allow it)");
    int judged = 0;
    for (const MarkerFigures& m : r.markers)
        judged += m.framesInView > 0;
    line(out, "Markers: %zu, %d seen in view", r.markers.size(), judged);
    for (const MarkerFigures& m : r.markers)
        if (m.framesInView > 0)
            line(out, "  %4d at (%.2f, %.2f, %.2f)%s: matched %lld of %lld frames in view (%.1f %%)", m.index, m.position.x,
                 m.position.y, m.position.z,
                 m.tileColumn >= 0 ? (" tile " + std::to_string(m.tileColumn) + "," + std::to_string(m.tileRow)).c_str() : "",
                 (long long)m.framesMatched, (long long)m.framesInView, 100 * m.matchRate);
    line(out, "Stray sources: %zu", r.straySources.size());
    for (const StraySource& s : r.straySources) {
        const Point3& q = s.triangulated ? s.triangulatedPosition : s.position;
        line(out, "  (%.2f, %.2f, %.2f)%s: %lld blobs in %lld frames, %.1f %% of %lld frames in view, value %.0f%s", q.x, q.y,
             q.z, s.triangulated ? " located" : " on the plane", (long long)s.hits, (long long)s.frames, 100 * s.frameShare,
             (long long)s.framesInView, s.meanValue,
             s.nearMarker >= 0 ? (" (at marker " + std::to_string(s.nearMarker) + ")").c_str() : "");
    }
    return out;
}

} // namespace Kestrel::Orb::Tracking::Health
