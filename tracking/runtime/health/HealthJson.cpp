#include <cmath>
#include <cstdio>

#include "tracking/runtime/health/HealthDocuments.h"
#include "tracking/runtime/pipeline/TrackingStage.h"

namespace Kestrel::Orb::Tracking::Health {

namespace {

// Writes one JSON value member by member; commas and nesting are its business.
class Json {
public:
    Json& open(const char* key, char bracket) {
        name(key);
        text_ += bracket;
        first_ = true;
        return *this;
    }
    Json& close(char bracket) {
        text_ += bracket;
        first_ = false;
        return *this;
    }
    Json& number(const char* key, double v) {
        name(key);
        if (!std::isfinite(v)) {
            text_ += "null";
        } else {
            char digits[32];
            std::snprintf(digits, sizeof digits, "%.10g", v);
            text_ += digits;
        }
        return *this;
    }
    Json& integer(const char* key, long long v) {
        name(key);
        text_ += std::to_string(v);
        return *this;
    }
    Json& boolean(const char* key, bool v) {
        name(key);
        text_ += v ? "true" : "false";
        return *this;
    }
    Json& string(const char* key, const std::string& v) {
        name(key);
        text_ += '"';
        for (char c : v) {
            const unsigned char b = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (b < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", b);
                text_ += escaped;
            } else {
                text_ += c;
            }
        }
        text_ += '"';
        return *this;
    }
    Json& point(const char* key, const Point3& p) {
        return open(key, '{').number("x", p.x).number("y", p.y).number("z", p.z).close('}');
    }
    std::string text() const { return text_ + "\n"; }

private:
    // A null key is an array element.
    void name(const char* key) {
        if (!first_)
            text_ += ", ";
        first_ = false;
        if (key) {
            text_ += '"';
            text_ += key;
            text_ += "\": ";
        }
    }
    std::string text_;
    bool first_ = true;
};

} // namespace

std::string healthJson(const HealthReport& r) {
    Json j;
    j.open(nullptr, '{').number("seconds", r.seconds).number("windowSeconds", r.windowSeconds);
    const OpticalFigures& o = r.optical;
    j.open("optical", '{')
        .integer("frames", o.frames)
        .number("frameRate", o.frameRate)
        .number("intervalMs", o.intervalMs)
        .number("intervalJitterMs", o.intervalJitterMs)
        .integer("lostFrames", o.lostFrames)
        .number("lostShare", o.lostShare)
        .integer("invalidSequences", o.invalidSequences)
        .number("pointsPerFrame", o.pointsPerFrame)
        .number("raysPerFrame", o.raysPerFrame)
        .number("meanBlobValue", o.meanBlobValue)
        .number("maximumBlobValue", o.maximumBlobValue)
        .number("matchedBlobValue", o.matchedBlobValue)
        .integer("saturatedBlobs", o.saturatedBlobs)
        .number("saturatedShare", o.saturatedShare)
        .close('}');
    const InertialFigures& i = r.inertial;
    j.open("inertial", '{')
        .integer("gyroscopeSamples", i.gyroscopeSamples)
        .integer("accelerometerSamples", i.accelerometerSamples)
        .number("gyroscopeRate", i.gyroscopeRate)
        .number("accelerometerRate", i.accelerometerRate)
        .integer("gaps", i.gaps)
        .integer("missingSamples", i.missingSamples)
        .number("longestGapMs", i.longestGapMs)
        .integer("overflows", i.overflows);
    if (i.hasTemperature)
        j.number("temperature", i.temperature).number("temperatureMin", i.temperatureMin).number("temperatureMax", i.temperatureMax);
    j.close('}');
    const PipelineFigures& p = r.pipeline;
    j.open("pipeline", '{').open("stageSeconds", '{');
    for (int stage = 0; stage < 4; ++stage)
        j.number(stageName(stage), p.stageSeconds[stage]);
    j.close('}')
        .number("timeTo6Dof", p.timeTo6Dof < 0 ? NAN : p.timeTo6Dof)
        .integer("blindEpisodes", p.blindEpisodes)
        .integer("losses", p.losses)
        .integer("lossesInView", p.lossesInView)
        .integer("reidentifications", p.reidentifications)
        .integer("batches", p.batches)
        .integer("optimizations", p.optimizations)
        .integer("failures", p.failures)
        .integer("sixDofFrames", p.sixDofFrames)
        .number("meanQuality", p.meanQuality)
        .number("lowQuality", p.lowQuality)
        .number("matchingMs", p.matchingMs)
        .number("optimizingMs", p.optimizingMs)
        .number("matchedRaysPerFrame", p.matchedRaysPerFrame)
        .number("unmatchedRaysPerFrame", p.unmatchedRaysPerFrame)
        .close('}');
    j.open("lag", '{')
        .boolean("found", r.lag.found)
        .number("milliseconds", r.lag.found ? r.lag.milliseconds : NAN)
        .number("correlation", r.lag.correlation)
        .integer("pairs", r.lag.pairs)
        .integer("segments", r.lag.segments)
        .close('}');
    j.open("markers", '[');
    for (const MarkerFigures& m : r.markers) {
        j.open(nullptr, '{')
            .integer("index", m.index)
            .point("position", m.position);
        if (m.tileColumn >= 0)
            j.open("tile", '[').integer(nullptr, m.tileColumn).integer(nullptr, m.tileRow).close(']');
        j.integer("framesInView", m.framesInView)
            .integer("framesMatched", m.framesMatched)
            .number("matchRate", m.matchRate)
            .close('}');
    }
    j.close(']').open("straySources", '[');
    for (const StraySource& s : r.straySources) {
        j.open(nullptr, '{').point("position", s.position).boolean("triangulated", s.triangulated);
        if (s.triangulated)
            j.point("triangulatedPosition", s.triangulatedPosition);
        j.integer("hits", s.hits)
            .integer("frames", s.frames)
            .integer("framesInView", s.framesInView)
            .number("frameShare", s.frameShare)
            .number("meanValue", s.meanValue)
            .number("imageX", s.imageX)
            .number("imageY", s.imageY)
            .integer("nearMarker", s.nearMarker)
            .close('}');
    }
    j.close(']').open("strayImage", '{').integer("size", r.strayImage.size).open("counts", '[');
    for (uint32_t c : r.strayImage.counts)
        j.integer(nullptr, c);
    j.close(']').close('}').open("windows", '[');
    for (const HealthWindow& w : r.windows)
        j.open(nullptr, '{')
            .number("start", w.start)
            .number("duration", w.duration)
            .integer("frames", w.frames)
            .integer("lostFrames", w.lostFrames)
            .number("pointsPerFrame", w.pointsPerFrame)
            .number("meanBlobValue", w.meanBlobValue)
            .integer("saturatedBlobs", w.saturatedBlobs)
            .integer("gyroscopeSamples", w.gyroscopeSamples)
            .integer("missingSamples", w.missingSamples)
            .number("temperature", w.temperature)
            .integer("stage", w.stage)
            .number("meanQuality", w.meanQuality)
            .integer("failures", w.failures)
            .number("matchedRaysPerFrame", w.matchedRaysPerFrame)
            .number("unmatchedRaysPerFrame", w.unmatchedRaysPerFrame)
            .close('}');
    j.close(']').open("findings", '[');
    for (const Finding& f : r.findings) {
        j.open(nullptr, '{')
            .string("kind", findingKindName(f.kind))
            .string("text", f.text)
            .string("evidence", f.evidence)
            .string("suggestion", f.suggestion)
            .number("value", f.value);
        if (f.marker >= 0)
            j.integer("marker", f.marker);
        if (f.hasPosition)
            j.point("position", f.position);
        j.close('}');
    }
    j.close(']').close('}');
    return j.text();
}

} // namespace Kestrel::Orb::Tracking::Health
