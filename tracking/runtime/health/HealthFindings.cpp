#include "tracking/runtime/health/HealthFindings.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace Kestrel::Orb::Tracking::Health {

namespace {

std::string format(const char* pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

// A share as a percentage with one decimal below 10 %.
std::string percent(double share) {
    const double p = 100.0 * share;
    return p < 10.0 ? format("%.1f %%", p) : format("%.0f %%", p);
}

std::string position(const Point3& p) { return format("(%.2f, %.2f, %.2f) m", p.x, p.y, p.z); }

Finding finding(FindingKind kind, std::string text, std::string evidence, std::string suggestion, double value) {
    Finding f;
    f.kind = kind;
    f.text = std::move(text);
    f.evidence = std::move(evidence);
    f.suggestion = std::move(suggestion);
    f.value = value;
    return f;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    const std::size_t k = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
}

void trackingFindings(const HealthReport& r, const HealthSettings& s, std::vector<Finding>& out) {
    const PipelineFigures& p = r.pipeline;
    if (r.optical.frames > 0 && p.timeTo6Dof < 0 && r.seconds >= s.no6DofAfterSeconds)
        out.push_back(finding(FindingKind::No6Dof, format("Tracking did not reach 6DoF in %.1f s", r.seconds),
                              format("%.1f points per frame in view, %.2f matched to markers per frame; %.1f s without "
                                     "inertial data, %.1f s in 3DoF",
                                     r.optical.raysPerFrame, p.matchedRaysPerFrame, p.stageSeconds[0], p.stageSeconds[1]),
                              "Check that the environment code describes the markers in the room and that the "
                              "camera sees them.",
                              r.seconds));
    const double minutes = r.seconds / 60.0;
    if (minutes > 0 && p.lossesInView > 0 && double(p.lossesInView) / minutes > double(s.lossesPerMinute))
        out.push_back(finding(FindingKind::TrackingLost,
                              format("Tracking was lost %lld times with markers in view (%.1f per minute)",
                                     (long long)p.lossesInView, double(p.lossesInView) / minutes),
                              format("%lld losses in all, %lld re-identified; %lld blind periods; %.1f s in 6DoF, %.1f s "
                                     "in 3DoF",
                                     (long long)p.losses, (long long)p.reidentifications, (long long)p.blindEpisodes,
                                     p.stageSeconds[2], p.stageSeconds[1]),
                              "Look at the findings below for the cause: covered markers, stray lights, lost frames.",
                              double(p.lossesInView) / minutes));
    if (p.optimizations >= 100 && double(p.failures) / double(p.optimizations) > s.failureShare) {
        const double share = double(p.failures) / double(p.optimizations);
        out.push_back(finding(FindingKind::OptimizerFailures,
                              format("The pose optimisation failed in %s of the frames with matched markers",
                                     percent(share).c_str()),
                              format("%lld of %lld; mean quality %.4g, 5th percentile %.4g", (long long)p.failures,
                                     (long long)p.optimizations, p.meanQuality, p.lowQuality),
                              "Too few markers well spread in view, or wrong matches: check the markers' layout "
                              "against the environment code.",
                              share));
    }
}

void sensorFindings(const HealthReport& r, const HealthSettings& s, std::vector<Finding>& out) {
    const OpticalFigures& o = r.optical;
    if (o.frames > 0 && (o.lostShare > s.lostFramesShare || o.invalidSequences >= s.invalidSequences))
        out.push_back(finding(FindingKind::LostFrames, format("%s of optical frames lost", percent(o.lostShare).c_str()),
                              format("%lld frames missing between %lld received; %lld \"Invalid stream sequence\" "
                                     "events; usual interval %.2f ms",
                                     (long long)o.lostFrames, (long long)o.frames, (long long)o.invalidSequences,
                                     o.intervalMs),
                              "Check the cable, the USB port or hub, and the load of the host.", o.lostShare));
    if (o.intervalMs > 0 && o.intervalJitterMs > s.jitterShareOfInterval * o.intervalMs)
        out.push_back(finding(FindingKind::FrameJitter,
                              format("Optical frame intervals vary by %.2f ms (%s of the interval)", o.intervalJitterMs,
                                     percent(o.intervalJitterMs / o.intervalMs).c_str()),
                              format("usual interval %.2f ms, measured in inertial samples", o.intervalMs),
                              "The camera's timing is uneven: check the tracker's firmware and power.",
                              o.intervalJitterMs));
    const InertialFigures& i = r.inertial;
    const double missingMs = double(i.missingSamples) * 1000.0 / s.gyroscopeRate;
    if (i.gaps >= s.inertialGaps && missingMs >= s.inertialMissingMs)
        out.push_back(finding(FindingKind::InertialGaps,
                              format("Inertial samples missing: %lld gaps, %.0f ms in all", (long long)i.gaps, missingMs),
                              format("longest gap %.1f ms; %.1f gyroscope samples per second over the session",
                                     i.longestGapMs, i.gyroscopeRate),
                              "Check the cable and the USB port; the inertial data fill the time between frames.",
                              missingMs));
    if (i.overflows >= s.gyroscopeOverflows)
        out.push_back(finding(FindingKind::GyroscopeOverflow,
                              format("The gyroscope saturated in %lld samples", (long long)i.overflows),
                              format("%lld of %lld samples had an axis at the end of its range", (long long)i.overflows,
                                     (long long)i.gyroscopeSamples),
                              "The tracker turned faster than the gyroscope measures, or it was knocked.",
                              double(i.overflows)));
    const LagFigures& lag = r.lag;
    if (lag.found && std::fabs(lag.milliseconds) > s.lagMs)
        out.push_back(finding(FindingKind::InertialLag,
                              format("Inertial samples %s the camera by %.0f ms", lag.milliseconds > 0 ? "lag" : "lead",
                                     std::fabs(lag.milliseconds)),
                              format("correlation %.2f over %lld frame pairs in %d stretches", lag.correlation,
                                     (long long)lag.pairs, lag.segments),
                              "The tracker's inertial and optical timing disagree: check its firmware and calibration.",
                              lag.milliseconds));
    if (o.frames > 0 && o.saturatedShare > s.saturatedShare)
        out.push_back(finding(FindingKind::SaturatedBlobs,
                              format("%s of the blobs are saturated", percent(o.saturatedShare).c_str()),
                              format("%lld of %.0f points at the top of the value scale; mean value %.0f",
                                     (long long)o.saturatedBlobs, o.pointsPerFrame * double(o.frames), o.meanBlobValue),
                              "Lower the exposure: saturated blobs lose their centre.", o.saturatedShare));
    if (o.frames > 0 && o.pointsPerFrame >= 1.0 && o.meanBlobValue < s.dimMeanValue)
        out.push_back(finding(FindingKind::DimBlobs, format("Blobs are dim (mean value %.0f)", o.meanBlobValue),
                              format("%.1f points per frame", o.pointsPerFrame),
                              "Raise the exposure, or check that the markers are lit and clean.", o.meanBlobValue));
}

void roomFindings(const HealthReport& r, const HealthSettings& s, std::vector<Finding>& out) {
    std::vector<double> rates;
    for (const MarkerFigures& m : r.markers)
        if (m.framesInView >= s.markerMinimumInView)
            rates.push_back(m.matchRate);
    const double usual = median(rates);
    for (const MarkerFigures& m : r.markers) {
        if (m.framesInView < s.markerMinimumInView || m.matchRate >= s.markerMatchRate ||
            m.matchRate >= s.markerRelativeRate * usual)
            continue;
        // On a layout of tiles the tile tells a person where to look; elsewhere the position.
        const std::string place = m.tileColumn >= 0 ? format("(tile %d,%d)", m.tileColumn, m.tileRow)
                                                    : "at " + position(m.position);
        Finding f = finding(FindingKind::MarkerRarelyMatched,
                            format("Marker %d %s was matched in %s of the frames it was in view: dirty, covered or "
                                   "damaged?",
                                   m.index, place.c_str(), percent(m.matchRate).c_str()),
                            format("matched in %lld of %lld frames; the usual marker in %s", (long long)m.framesMatched,
                                   (long long)m.framesInView, percent(usual).c_str()),
                            "Clean or uncover the marker, or replace it.", m.matchRate);
        f.marker = m.index;
        f.hasPosition = true;
        f.position = m.position;
        out.push_back(f);
    }
    const double markerValue = r.optical.matchedBlobValue;
    for (const StraySource& source : r.straySources) {
        if (source.nearMarker >= 0 || source.framesInView < s.strayMinimumFrames || source.frameShare < s.strayFrameShare ||
            source.meanValue < s.strayRelativeValue * markerValue)
            continue;
        const Point3 where = source.triangulated ? source.triangulatedPosition : source.position;
        const bool steady = source.frameShare >= 0.8;
        Finding f = finding(FindingKind::StrayLight,
                            format("A %s light at %s that is not a marker: a reflection or a lamp",
                                   steady ? "steady" : "flickering", position(where).c_str()),
                            format("seen in %s of the %lld frames it was in view; blob value %.0f (markers %.0f); "
                                   "%lld unmatched blobs%s",
                                   percent(source.frameShare).c_str(), (long long)source.framesInView, source.meanValue,
                                   markerValue, (long long)source.hits,
                                   source.triangulated ? "; located from several views" : "; where its rays meet the marker plane"),
                            "Cover the reflecting surface or move the lamp out of the camera's view.", source.frameShare);
        f.hasPosition = true;
        f.position = where;
        out.push_back(f);
    }
}

} // namespace

const char* findingKindName(FindingKind kind) {
    switch (kind) {
    case FindingKind::LostFrames: return "LostFrames";
    case FindingKind::FrameJitter: return "FrameJitter";
    case FindingKind::InertialGaps: return "InertialGaps";
    case FindingKind::GyroscopeOverflow: return "GyroscopeOverflow";
    case FindingKind::SaturatedBlobs: return "SaturatedBlobs";
    case FindingKind::DimBlobs: return "DimBlobs";
    case FindingKind::MarkerRarelyMatched: return "MarkerRarelyMatched";
    case FindingKind::StrayLight: return "StrayLight";
    case FindingKind::TrackingLost: return "TrackingLost";
    case FindingKind::No6Dof: return "No6Dof";
    case FindingKind::OptimizerFailures: return "OptimizerFailures";
    case FindingKind::InertialLag: return "InertialLag";
    }
    return "";
}

std::vector<Finding> findingsOf(const HealthReport& report, const HealthSettings& settings) {
    std::vector<Finding> out;
    trackingFindings(report, settings, out);
    sensorFindings(report, settings, out);
    roomFindings(report, settings, out);
    return out;
}

} // namespace Kestrel::Orb::Tracking::Health
